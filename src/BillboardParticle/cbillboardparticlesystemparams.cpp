#include "cbillboardparticlesystemparams.h"

#include <platform/d3dxarchive.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "cbillboardparticleparamupdater.h"

using Vastrel::Utils::CMyXMLNode;

CBillboardParticleSystemParams::CBillboardParticleSystemParams(float minLifeTime, float maxLifeTime)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_BILLBOARD) {}

CBillboardParticleSystemParams::CBillboardParticleSystemParams(CEmitterManager* pEmitterManager,
                                                               const CMyXMLNode* pNode)
    : CStandardParticleSystemParams(pEmitterManager, pNode, PSPT_BILLBOARD) {
    ReadElement(pNode);
}

CBillboardParticleSystemParams::CBillboardParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_BILLBOARD, ar) {
    ar >> m_bTextureFlowEnabled >> m_vTextureFlowDirection >> m_fTextureFlowSpeed;
    m_sizeKeyValues.Paste(ar);
}

CBillboardParticleSystemParams::~CBillboardParticleSystemParams() = default;

void CBillboardParticleSystemParams::ReadElement(const CMyXMLNode* pNode) {
    for (const CMyXMLNode* pChild : pNode->GetChildrens())
        if (pChild->GetName() == "SizeKeyValues") m_sizeKeyValues.LoadValues(pChild);
    pNode->GetBoolAttribute("textureFlowEnabled", m_bTextureFlowEnabled);
    pNode->GetVector2DAttribute("textureFlowDirection", m_vTextureFlowDirection);
    pNode->GetFloatAttribute("textureFlowSpeed", m_fTextureFlowSpeed);
}

IParticleParamUpdater* CBillboardParticleSystemParams::CreateParticleParamUpdater() const {
    return new CBillboardParticleParamUpdater();
}

// Runs when a particle gets its updater, not per frame, so the check of the
// updater's class costs nothing in the frame loop.
void CBillboardParticleSystemParams::SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const {
    CStandardParticleSystemParams::SetParticleParamUpdater(pUpdater);
    CBillboardParticleParamUpdater* pBillboard = dynamic_cast<CBillboardParticleParamUpdater*>(pUpdater);
    if (!pBillboard || m_sizeKeyValues.GetCount() == 0) return;
    // Room for every key, so that births never allocate.
    CLinearInterpolator<D3DXVECTOR2>* pSize = new CLinearInterpolator<D3DXVECTOR2>(&m_sizeKeyValues);
    pSize->ReserveKeys(m_sizeKeyValues.GetCount());
    pBillboard->SetSizeInterpolator(pSize);
}

void CBillboardParticleSystemParams::Save(CMyXMLNode* pNode) const {
    CStandardParticleSystemParams::Save(pNode);
    pNode->SetAttribute("type", "BILLBOARD");
    m_sizeKeyValues.SaveValues(pNode, "SizeKeyValues");
    pNode->SetAttribute("textureFlowEnabled", m_bTextureFlowEnabled);
    pNode->SetAttribute("textureFlowDirection", m_vTextureFlowDirection);
    pNode->SetAttribute("textureFlowSpeed", m_fTextureFlowSpeed);
}

void CBillboardParticleSystemParams::Copy(CArchive& ar) const {
    ar << m_type;
    CStandardParticleSystemParams::Copy(ar);
    ar << m_bTextureFlowEnabled << m_vTextureFlowDirection << m_fTextureFlowSpeed;
    m_sizeKeyValues.Copy(ar);
}
