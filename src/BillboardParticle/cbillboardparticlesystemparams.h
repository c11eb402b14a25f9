// The billboard parameter set: the standard set plus a size curve and a
// texture that flows across the quads.
#pragma once

#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"
#include "iparticlesystem.h"

class PYRELUNE_API CBillboardParticleSystemParams : public CStandardParticleSystemParams {
public:
    CBillboardParticleSystemParams(float minLifeTime, float maxLifeTime);
    // After the standard element: "SizeKeyValues" children and the
    // "textureFlowEnabled", "textureFlowDirection", "textureFlowSpeed" attributes.
    CBillboardParticleSystemParams(CEmitterManager* pEmitterManager, const Vastrel::Utils::CMyXMLNode* pNode);
    // The caller has taken the type word off the archive.
    CBillboardParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar);
    ~CBillboardParticleSystemParams() override;

    IParticleParamUpdater* CreateParticleParamUpdater() const override;
    // The standard configuration, then a size interpolator for a billboard updater.
    void SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    // Type word 1, the standard record, the flow settings and the size list.
    void Copy(CArchive& ar) const;

    CKeyValues<D3DXVECTOR2>* GetSizeKeyValues() { return &m_sizeKeyValues; }
    const CKeyValues<D3DXVECTOR2>* GetSizeKeyValues() const { return &m_sizeKeyValues; }
    bool GetTextureFlowEnabled() const { return m_bTextureFlowEnabled; }
    void SetTextureFlowEnabled(bool enabled) { m_bTextureFlowEnabled = enabled; }
    const D3DXVECTOR2& GetTextureFlowDirection() const { return m_vTextureFlowDirection; }
    void SetTextureFlowDirection(const D3DXVECTOR2& direction) { m_vTextureFlowDirection = direction; }
    float GetTextureFlowSpeed() const { return m_fTextureFlowSpeed; }
    void SetTextureFlowSpeed(float speed) { m_fTextureFlowSpeed = speed; }

protected:
    bool m_bTextureFlowEnabled = false;
    D3DXVECTOR2 m_vTextureFlowDirection{0.0f, 1.0f};
    float m_fTextureFlowSpeed = 1.0f;  // texture units per second along the direction
    CKeyValues<D3DXVECTOR2> m_sizeKeyValues;  // width, height

private:
    void ReadElement(const Vastrel::Utils::CMyXMLNode* pNode);
};
