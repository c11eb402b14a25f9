// The point-sprite parameter set: the standard set plus a size over life.
#pragma once

#include "iparticlesystem.h"

class PYRELUNE_API CPointSpriteParticleSystemParams : public CStandardParticleSystemParams {
public:
    CPointSpriteParticleSystemParams(float minLifeTime, float maxLifeTime);
    // The standard element, then every "SizeKeyValues" child.
    CPointSpriteParticleSystemParams(CEmitterManager* pEmitterManager, const Vastrel::Utils::CMyXMLNode* pNode);
    // The caller has taken the type word off the archive. The record holds no
    // size list, so it comes back empty.
    CPointSpriteParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar);
    ~CPointSpriteParticleSystemParams() override;

    IParticleParamUpdater* CreateParticleParamUpdater() const override;
    void SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const override;
    // The standard element with "type" "POINTSPRITE" in place of "STANDARD".
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    // The type word 2, then the standard record.
    void Copy(CArchive& ar) const;

    CKeyValues<float>* GetSizeKeyValues() { return &m_sizeKeyValues; }
    const CKeyValues<float>* GetSizeKeyValues() const { return &m_sizeKeyValues; }

private:
    CKeyValues<float> m_sizeKeyValues;  // world units
};
