// The mesh particle system: particles drawn as instances of a 3D object that
// the host loads, deletes and draws through three registered functions.
#pragma once

#include <cstddef>
#include <vector>

#include "iparticlesystem.h"

// What the host's render function gets for one live particle.
struct PYRELUNE_API SParticleRenderProperties {
    D3DXVECTOR3 vPosition;
    D3DXVECTOR3 vSize;      // scale per axis
    D3DXVECTOR3 vRotation;
    DWORD dwColor;          // ARGB
};

static_assert(sizeof(SParticleRenderProperties) == 40, "the host reads 40-byte entries");
static_assert(offsetof(SParticleRenderProperties, vPosition) == 0, "position at 0");
static_assert(offsetof(SParticleRenderProperties, vSize) == 12, "size at 12");
static_assert(offsetof(SParticleRenderProperties, vRotation) == 24, "rotation at 24");
static_assert(offsetof(SParticleRenderProperties, dwColor) == 36, "colour at 36");

// The library simulates the particles and, once per frame, hands the host
// one property array for all of them, so the host can batch or instance its
// draws. Without a loader, an object or a render function the system is
// simulated but never drawn. The kind holds no device resources of its own.
class PYRELUNE_API CMeshParticleSystem : public IParticleSystem {
public:
    typedef void (*ParticleRenderFunction)(SParticleRenderProperties* pProperties, int count, void* pObject);
    typedef void* (*ParticleLoaderFunction)(const CString& fileName);
    typedef void (*ParticleDeleterFunction)(void* pObject);

    explicit CMeshParticleSystem(CParticleSystemManager* pManager);
    // The caller has taken the type word off the archive; the object is loaded.
    CMeshParticleSystem(CParticleSystemManager* pManager, CArchive& ar);
    // Hands the object to the deleter.
    ~CMeshParticleSystem() override;

    // Shared by every mesh system; systems that exist keep their objects
    // until their next load.
    static void RegisterParticleRenderFunction(ParticleRenderFunction pFunction);
    static void RegisterParticleLoaderFunction(ParticleLoaderFunction pFunction);
    static void RegisterParticleDeleterFunction(ParticleDeleterFunction pFunction);

    // The base element, then "MeshFileName" (absent: empty), and loads the object.
    void Init(const Vastrel::Utils::CMyXMLNode* pNode) override;
    using IParticleSystem::Init;
    IParticle* CreateParticle() override;
    // "type" "MESH" and "MeshFileName" as stored, after the base element.
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    // Nothing to resize, release or recreate: success, so that the manager's
    // reset goes on to the other systems.
    bool Resize() override;
    bool BeginReset() override;
    bool EndReset() override;
    // The base record, then the object file name.
    void Copy(CArchive& ar) const;

    // Deletes the held object, then loads the one of fileName.
    void SetParticleObjectFileName(const CString& fileName);
    const CString& GetParticleObjectFileName() const { return m_strObjectFileName; }

protected:
    // The base states without render properties: mesh systems use no effect technique.
    void PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                   SParticleSystemRenderProperties* pProperties) const override;
    // One call of the render function with every live particle in walk order;
    // the world transform is the host's business.
    void RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                         SParticleSystemRenderProperties* pProperties) const override;

private:
    void LoadObject(const CString& fileName);
    unsigned int FillProperties() const;
    void BringIntoSpaceOf(const D3DXMATRIXA16& matrix, unsigned int count) const;

    // Set by the Register functions; null until then. Process-wide, rendering thread only.
    static ParticleRenderFunction m_pRenderFunction;
    static ParticleLoaderFunction m_pLoaderFunction;
    static ParticleDeleterFunction m_pDeleterFunction;

    CString m_strObjectFileName;  // as given; no path conversion
    void* m_pObject = nullptr;    // the host's; given back through the deleter
    // Scratch for RenderParticles: grows to the largest live count, never shrinks.
    mutable std::vector<SParticleRenderProperties> m_properties;
};
