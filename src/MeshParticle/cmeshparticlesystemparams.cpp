#include "MeshParticle/cmeshparticlesystemparams.h"

#include "MeshParticle/cmeshparticleparamupdater.h"
#include "UtilsSrc/cmyxmlparser.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

// An empty interpolator with room for all the list's keys, so that births
// never allocate; null for an empty list.
CLinearInterpolator<D3DXVECTOR3>* MakeInterpolator(const CKeyValues<D3DXVECTOR3>& list) {
    if (list.GetCount() == 0) return nullptr;
    CLinearInterpolator<D3DXVECTOR3>* pInterpolator = new CLinearInterpolator<D3DXVECTOR3>(&list);
    pInterpolator->ReserveKeys(list.GetCount());
    return pInterpolator;
}

}  // namespace

CMeshParticleSystemParams::CMeshParticleSystemParams(float minLifeTime, float maxLifeTime)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_MESH) {}

CMeshParticleSystemParams::CMeshParticleSystemParams(CEmitterManager* pEmitterManager, const CMyXMLNode* pNode)
    : CStandardParticleSystemParams(pEmitterManager, pNode, PSPT_MESH) {
    ReadMeshLists(pNode);
}

CMeshParticleSystemParams::CMeshParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_MESH, ar) {}

CMeshParticleSystemParams::~CMeshParticleSystemParams() = default;

void CMeshParticleSystemParams::ReadMeshLists(const CMyXMLNode* pNode) {
    for (const CMyXMLNode* pChild : pNode->GetChildrens()) {
        const CString name = pChild->GetName();
        if (name == "SizeKeyValues") m_sizeKeyValues.LoadValues(pChild);
        else if (name == "RotateAngleKeyValues") m_rotateAngleKeyValues.LoadValues(pChild);
    }
}

IParticleParamUpdater* CMeshParticleSystemParams::CreateParticleParamUpdater() const {
    return new CMeshParticleParamUpdater();
}

void CMeshParticleSystemParams::SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const {
    CStandardParticleSystemParams::SetParticleParamUpdater(pUpdater);
    CMeshParticleParamUpdater* pMesh = dynamic_cast<CMeshParticleParamUpdater*>(pUpdater);
    if (!pMesh) return;
    pMesh->SetSizeInterpolator(MakeInterpolator(m_sizeKeyValues));
    pMesh->SetRotateAngleInterpolator(MakeInterpolator(m_rotateAngleKeyValues));
}

void CMeshParticleSystemParams::Save(CMyXMLNode* pNode) const {
    CStandardParticleSystemParams::Save(pNode);
    pNode->SetAttribute("type", "MESH");
    m_sizeKeyValues.SaveValues(pNode, "SizeKeyValues");
    m_rotateAngleKeyValues.SaveValues(pNode, "RotateAngleKeyValues");
}

void CMeshParticleSystemParams::Copy(CArchive& ar) const {
    ar << m_type;
    CStandardParticleSystemParams::Copy(ar);
}
