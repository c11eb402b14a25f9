#include "meshhooks.h"

#include <algorithm>
#include <filesystem>

namespace {

// Size scales the object, rotation turns it (x pitch, y yaw, z roll, in
// radians), and the position places it.
D3DXMATRIX WorldOf(const SParticleRenderProperties& properties) {
    D3DXMATRIX scale, rotation, translation, world;
    D3DXMatrixScaling(&scale, properties.vSize.x, properties.vSize.y, properties.vSize.z);
    D3DXMatrixRotationYawPitchRoll(&rotation, properties.vRotation.y, properties.vRotation.x, properties.vRotation.z);
    D3DXMatrixTranslation(&translation, properties.vPosition.x, properties.vPosition.y, properties.vPosition.z);
    D3DXMatrixMultiply(&world, &scale, &rotation);
    D3DXMatrixMultiply(&world, &world, &translation);
    return world;
}

// Unlit, coloured by the texture factor alone.
void SelectTextureFactorColour(CRenderStateStack& renderStates, CTextureStageStateStack& stageStates) {
    renderStates.SetRenderState(D3DRS_LIGHTING, FALSE);
    stageStates.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    stageStates.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    stageStates.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    stageStates.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
}

}  // namespace

MeshParticleHooks* MeshParticleHooks::s_pActive = nullptr;

MeshParticleHooks::MeshParticleHooks(IDirect3DDevice9* pDevice, const std::string& documentPath)
    : m_pDevice(pDevice), m_documentFolder(std::filesystem::path(documentPath).parent_path().string()) {
    s_pActive = this;
    CMeshParticleSystem::RegisterParticleLoaderFunction(&MeshParticleHooks::LoaderHook);
    CMeshParticleSystem::RegisterParticleDeleterFunction(&MeshParticleHooks::DeleterHook);
    CMeshParticleSystem::RegisterParticleRenderFunction(&MeshParticleHooks::RenderHook);
}

MeshParticleHooks::~MeshParticleHooks() {
    if (s_pActive != this) return;
    CMeshParticleSystem::RegisterParticleLoaderFunction(nullptr);
    CMeshParticleSystem::RegisterParticleRenderFunction(nullptr);
    // The deleter stays: it needs no state, and a late system must still free its mesh.
    s_pActive = nullptr;
}

void* MeshParticleHooks::LoaderHook(const CString& fileName) {
    return s_pActive ? s_pActive->Load(fileName) : nullptr;
}

void MeshParticleHooks::DeleterHook(void* pObject) {
    if (pObject) static_cast<ID3DXMesh*>(pObject)->Release();
}

void MeshParticleHooks::RenderHook(SParticleRenderProperties* pProperties, int count, void* pObject) {
    if (s_pActive && pObject && count > 0) s_pActive->Draw(static_cast<ID3DXMesh*>(pObject), pProperties, count);
}

ID3DXMesh* MeshParticleHooks::Load(const CString& fileName) {
    std::string path = ResolvePath(fileName);
    ID3DXMesh* pMesh = nullptr;
    if (path.empty() || FAILED(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, m_pDevice, nullptr, nullptr,
                                                  nullptr, nullptr, &pMesh))) {
        m_failedFiles.push_back(path.empty() ? std::string("(no MeshFileName)") : path);
        return nullptr;
    }
    return pMesh;
}

// Documents may come from Windows with '\' separators.
std::string MeshParticleHooks::ResolvePath(const CString& fileName) const {
    std::string name = fileName.GetString();
    if (name.empty()) return name;
    std::replace(name.begin(), name.end(), '\\', '/');
    std::filesystem::path path(name);
    return path.is_absolute() ? name : (std::filesystem::path(m_documentFolder) / path).lexically_normal().string();
}

// Each particle is tinted with its colour through the texture factor; every
// state changed here is put back afterwards.
void MeshParticleHooks::Draw(ID3DXMesh* pMesh, const SParticleRenderProperties* pProperties, int count) {
    CRenderStateStack renderStates(m_pDevice);
    CTextureStageStateStack stageStates(m_pDevice);
    SelectTextureFactorColour(renderStates, stageStates);
    DrawInstances(pMesh, pProperties, count);
    stageStates.Reset();
    renderStates.Reset();
    ++m_renderCalls;
    m_instancesDrawn += static_cast<unsigned long long>(count);
}

void MeshParticleHooks::DrawInstances(ID3DXMesh* pMesh, const SParticleRenderProperties* pProperties, int count) {
    DWORD textureFactor = 0;
    m_pDevice->GetRenderState(D3DRS_TEXTUREFACTOR, &textureFactor);
    D3DMATRIX world;
    m_pDevice->GetTransform(D3DTS_WORLD, &world);
    for (int i = 0; i < count; ++i) DrawInstance(pMesh, pProperties[i]);
    m_pDevice->SetTransform(D3DTS_WORLD, &world);
    m_pDevice->SetRenderState(D3DRS_TEXTUREFACTOR, textureFactor);
}

void MeshParticleHooks::DrawInstance(ID3DXMesh* pMesh, const SParticleRenderProperties& properties) {
    D3DXMATRIX world = WorldOf(properties);
    m_pDevice->SetTransform(D3DTS_WORLD, &world);
    m_pDevice->SetRenderState(D3DRS_TEXTUREFACTOR, properties.dwColor);
    pMesh->DrawSubset(0);
}
