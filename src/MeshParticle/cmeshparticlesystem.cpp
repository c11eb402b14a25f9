#include "MeshParticle/cmeshparticlesystem.h"

#include "MeshParticle/cmeshparticle.h"
#include "UtilsSrc/cmyxmlparser.h"

using Vastrel::Utils::CMyXMLNode;

CMeshParticleSystem::ParticleRenderFunction CMeshParticleSystem::m_pRenderFunction = nullptr;
CMeshParticleSystem::ParticleLoaderFunction CMeshParticleSystem::m_pLoaderFunction = nullptr;
CMeshParticleSystem::ParticleDeleterFunction CMeshParticleSystem::m_pDeleterFunction = nullptr;

CMeshParticleSystem::CMeshParticleSystem(CParticleSystemManager* pManager) : IParticleSystem(pManager, PST_MESH) {}

CMeshParticleSystem::CMeshParticleSystem(CParticleSystemManager* pManager, CArchive& ar)
    : IParticleSystem(pManager, PST_MESH, ar) {
    CString fileName;
    ar >> fileName;
    LoadObject(fileName);
}

CMeshParticleSystem::~CMeshParticleSystem() {
    if (m_pDeleterFunction && m_pObject) m_pDeleterFunction(m_pObject);
}

void CMeshParticleSystem::RegisterParticleRenderFunction(ParticleRenderFunction pFunction) {
    m_pRenderFunction = pFunction;
}

void CMeshParticleSystem::RegisterParticleLoaderFunction(ParticleLoaderFunction pFunction) {
    m_pLoaderFunction = pFunction;
}

void CMeshParticleSystem::RegisterParticleDeleterFunction(ParticleDeleterFunction pFunction) {
    m_pDeleterFunction = pFunction;
}

void CMeshParticleSystem::Init(const CMyXMLNode* pNode) {
    IParticleSystem::Init(pNode);
    CString fileName;
    pNode->GetAttribute("MeshFileName", fileName);
    LoadObject(fileName);
}

IParticle* CMeshParticleSystem::CreateParticle() { return new CMeshParticle(this); }

void CMeshParticleSystem::Save(CMyXMLNode* pNode) const {
    IParticleSystem::Save(pNode);
    pNode->SetAttribute("type", "MESH");
    pNode->SetAttribute("MeshFileName", m_strObjectFileName);
}

bool CMeshParticleSystem::Resize() { return true; }

bool CMeshParticleSystem::BeginReset() { return true; }

bool CMeshParticleSystem::EndReset() { return true; }

void CMeshParticleSystem::Copy(CArchive& ar) const {
    IParticleSystem::Copy(ar);
    ar << m_strObjectFileName;
}

void CMeshParticleSystem::SetParticleObjectFileName(const CString& fileName) { LoadObject(fileName); }

// Without a deleter the old object is left to the host; without a loader
// the system is not drawn.
void CMeshParticleSystem::LoadObject(const CString& fileName) {
    m_strObjectFileName = fileName;
    if (m_pDeleterFunction && m_pObject) {
        m_pDeleterFunction(m_pObject);
        m_pObject = nullptr;
    }
    if (m_pLoaderFunction) m_pObject = m_pLoaderFunction(m_strObjectFileName);
}

void CMeshParticleSystem::PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                                    SParticleSystemRenderProperties*) const {
    IParticleSystem::PreRender(matrix, useWorld, scale, nullptr);
}

void CMeshParticleSystem::RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                                          SParticleSystemRenderProperties*) const {
    if (!m_pContainer || m_pContainer->GetActiveParticle() == 0 || !m_pRenderFunction || !m_pObject) return;
    const unsigned int count = FillProperties();
    if (!useWorld) BringIntoSpaceOf(matrix, count);
    m_pRenderFunction(m_properties.data(), static_cast<int>(count), m_pObject);
}

// Every particle of this system is a CMeshParticle: the containers make them
// through CreateParticle.
unsigned int CMeshParticleSystem::FillProperties() const {
    const unsigned int live = m_pContainer->GetActiveParticle();
    if (m_properties.size() < live) m_properties.resize(live);
    unsigned int count = 0;
    for (IParticle* pParticle = m_pContainer->First(); pParticle && count < live; pParticle = m_pContainer->Next()) {
        const CMeshParticle* pMesh = static_cast<const CMeshParticle*>(pParticle);
        m_properties[count++] = {pMesh->GetPos(), pMesh->GetSize(), pMesh->GetRotation(), pMesh->GetColor()};
    }
    return count;
}

// Positions go through the matrix; sizes take its diagonal as a per-axis scale.
void CMeshParticleSystem::BringIntoSpaceOf(const D3DXMATRIXA16& matrix, unsigned int count) const {
    for (unsigned int i = 0; i < count; ++i) {
        SParticleRenderProperties& entry = m_properties[i];
        D3DXVec3TransformCoord(&entry.vPosition, &entry.vPosition, &matrix);
        entry.vSize.x *= matrix._11;
        entry.vSize.y *= matrix._22;
        entry.vSize.z *= matrix._33;
    }
}
