#include "cpointspriteparticlesystemparams.h"

#include "UtilsSrc/cmyxmlparser.h"
#include "cpointspriteparticleparamupdater.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

const char* const kSizeListName = "SizeKeyValues";

}  // namespace

CPointSpriteParticleSystemParams::CPointSpriteParticleSystemParams(float minLifeTime, float maxLifeTime)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_POINTSPRITE) {}

CPointSpriteParticleSystemParams::CPointSpriteParticleSystemParams(CEmitterManager* pEmitterManager,
                                                                   const CMyXMLNode* pNode)
    : CStandardParticleSystemParams(pEmitterManager, pNode, PSPT_POINTSPRITE) {
    for (const CMyXMLNode* pChild : pNode->GetChildrens())
        if (pChild->GetName() == kSizeListName) m_sizeKeyValues.LoadValues(pChild);
}

CPointSpriteParticleSystemParams::CPointSpriteParticleSystemParams(float minLifeTime, float maxLifeTime, CArchive& ar)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, PSPT_POINTSPRITE, ar) {}

CPointSpriteParticleSystemParams::~CPointSpriteParticleSystemParams() = default;

IParticleParamUpdater* CPointSpriteParticleSystemParams::CreateParticleParamUpdater() const {
    return new CPointSpriteParticleParamUpdater();
}

// The size curve is given even to a collector set: the path ends only the
// standard configuration.
void CPointSpriteParticleSystemParams::SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const {
    CStandardParticleSystemParams::SetParticleParamUpdater(pUpdater);
    CPointSpriteParticleParamUpdater* pPointSprite = dynamic_cast<CPointSpriteParticleParamUpdater*>(pUpdater);
    if (!pPointSprite || m_sizeKeyValues.GetCount() == 0) return;
    CLinearInterpolator<float>* pSize = new CLinearInterpolator<float>(&m_sizeKeyValues);
    pSize->ReserveKeys(m_sizeKeyValues.GetCount());  // births then never allocate
    pPointSprite->SetSizeInterpolator(pSize);
}

void CPointSpriteParticleSystemParams::Save(CMyXMLNode* pNode) const {
    CStandardParticleSystemParams::Save(pNode);
    pNode->SetAttribute("type", "POINTSPRITE");
    m_sizeKeyValues.SaveValues(pNode, kSizeListName);
}

void CPointSpriteParticleSystemParams::Copy(CArchive& ar) const {
    ar << GetPSParamsIntType();
    CStandardParticleSystemParams::Copy(ar);
}
