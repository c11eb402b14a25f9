// The mesh particles' parameter set: the standard set plus a size and a
// rotate-angle curve.
#pragma once

#include "iparticlesystem.h"

// Registered under "MESH". The archive record holds only the standard part,
// so a set read back from an archive has both mesh curves empty.
class PYRELUNE_API CMeshParticleSystemParams : public CStandardParticleSystemParams {
public:
    CMeshParticleSystemParams(float minLifeTime, float maxLifeTime);
    // The standard element, then its "SizeKeyValues" and "RotateAngleKeyValues" children.
    CMeshParticleSystemParams(CEmitterManager* pEmitterManager, const Vastrel::Utils::CMyXMLNode* pNode);
    // The caller has taken the type word off the archive.
    CMeshParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar);
    ~CMeshParticleSystemParams() override;

    IParticleParamUpdater* CreateParticleParamUpdater() const override;
    // Each non-empty curve gets its own interpolator, the rotate angle
    // independently of the size.
    void SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    // The type word 3, then the standard record.
    void Copy(CArchive& ar) const;

    CKeyValues<D3DXVECTOR3>* GetSizeKeyValues() { return &m_sizeKeyValues; }
    const CKeyValues<D3DXVECTOR3>* GetSizeKeyValues() const { return &m_sizeKeyValues; }
    CKeyValues<D3DXVECTOR3>* GetRotateAngleKeyValues() { return &m_rotateAngleKeyValues; }
    const CKeyValues<D3DXVECTOR3>* GetRotateAngleKeyValues() const { return &m_rotateAngleKeyValues; }

protected:
    CKeyValues<D3DXVECTOR3> m_sizeKeyValues;         // scale per axis
    CKeyValues<D3DXVECTOR3> m_rotateAngleKeyValues;

private:
    void ReadMeshLists(const Vastrel::Utils::CMyXMLNode* pNode);
};
