// The host's three mesh-particle hooks: X files loaded through the mesh
// layer, deleted by Release, and drawn one DrawSubset per particle.
#pragma once

#include <string>
#include <vector>

#include <Pyrelune.h>

// Serves CMeshParticleSystem's loader, deleter and render hooks while it
// lives. It must outlive the manager, whose mesh systems hand their objects
// to the deleter when they are destroyed.
class MeshParticleHooks {
public:
    // Mesh file names are taken relative to the document's folder, as every
    // other file reference of a document is.
    MeshParticleHooks(IDirect3DDevice9* pDevice, const std::string& documentPath);
    ~MeshParticleHooks();
    MeshParticleHooks(const MeshParticleHooks&) = delete;
    MeshParticleHooks& operator=(const MeshParticleHooks&) = delete;

    // Paths of mesh files that could not be loaded, in request order.
    const std::vector<std::string>& FailedFiles() const { return m_failedFiles; }
    unsigned long long RenderCalls() const { return m_renderCalls; }
    unsigned long long InstancesDrawn() const { return m_instancesDrawn; }

private:
    static void* LoaderHook(const CString& fileName);
    static void DeleterHook(void* pObject);
    static void RenderHook(SParticleRenderProperties* pProperties, int count, void* pObject);

    ID3DXMesh* Load(const CString& fileName);
    std::string ResolvePath(const CString& fileName) const;
    void Draw(ID3DXMesh* pMesh, const SParticleRenderProperties* pProperties, int count);
    void DrawInstances(ID3DXMesh* pMesh, const SParticleRenderProperties* pProperties, int count);
    void DrawInstance(ID3DXMesh* pMesh, const SParticleRenderProperties& properties);

    // The hooks' target: the object constructed last, cleared by its
    // destructor. Rendering thread only.
    static MeshParticleHooks* s_pActive;

    IDirect3DDevice9* m_pDevice;  // the host's; not add-ref'd
    std::string m_documentFolder;
    std::vector<std::string> m_failedFiles;
    unsigned long long m_renderCalls = 0;
    unsigned long long m_instancesDrawn = 0;
};
