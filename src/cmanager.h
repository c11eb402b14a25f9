// Registries, factories and the particle system manager.
//
// Index
//   ==== Registry templates ====
//   ==== Factory families ====
//   ==== Piece registries ====
//   ==== Particle system manager ====
#pragma once

#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include <afx.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"
#include "emitter.h"
#include "iparticlesystem.h"
#include "itexture.h"

namespace Vastrel {
namespace Utils {
class CMyXMLNode;
}  // namespace Utils
}  // namespace Vastrel

class CEmitterManager;
class CPSParamsManager;
class CTextureManager;
class CParticleContainerManager;
class CParticleSystemManager;

// ==== Registry templates ====

// Objects by name, in byte-wise name order. The registry owns every object
// stored in it and deletes it when it leaves: by Remove, Clear, replacement
// under its name, or the registry's destruction. A null object may be stored;
// it is never deleted.
template <typename K, typename T>
class CManager {
public:
    typedef std::map<K, T*> ClassMap;

    CManager() = default;
    CManager(const CManager&) = delete;
    CManager& operator=(const CManager&) = delete;

    // The ID of an object that is not registered.
    virtual K GetEmptyVal() const = 0;

    virtual ~CManager() { CManager::Clear(); }

    // Replaces (and deletes) the object stored under name, unless it is this very object.
    virtual void Add(K name, T* object) {
        typename ClassMap::iterator found = m_classes.find(name);
        if (found == m_classes.end()) {
            m_classes.emplace(name, object);
            return;
        }
        T* previous = found->second;
        found->second = object;
        if (previous != object) delete previous;
    }

    virtual bool Remove(K name) {
        typename ClassMap::iterator found = m_classes.find(name);
        if (found == m_classes.end()) return false;
        T* object = found->second;
        m_classes.erase(found);
        delete object;
        return true;
    }

    // The map is emptied before the objects are deleted, so a destructor that
    // looks at the registry sees a consistent one.
    virtual void Clear() {
        ClassMap doomed;
        doomed.swap(m_classes);
        for (typename ClassMap::value_type& entry : doomed) delete entry.second;
    }

    T* Get(K name) const {
        typename ClassMap::const_iterator found = m_classes.find(name);
        return found == m_classes.end() ? nullptr : found->second;
    }

    T* GetByIndex(unsigned int index) const {
        if (index >= GetCount()) return nullptr;
        return std::next(m_classes.begin(), index)->second;
    }

    // 0 also for an object that is not registered.
    unsigned int GetIndex(T* object) const {
        typename ClassMap::const_iterator found = FindObject(object);
        return found == m_classes.end() ? 0 : static_cast<unsigned int>(std::distance(m_classes.begin(), found));
    }

    K GetID(T* object) const {
        typename ClassMap::const_iterator found = FindObject(object);
        return found == m_classes.end() ? GetEmptyVal() : found->first;
    }

    unsigned int GetCount() const { return static_cast<unsigned int>(m_classes.size()); }

    const ClassMap& GetManagedClasses() const { return m_classes; }

    // Moves an object to a new name; false if oldName is missing or newName taken.
    bool Rename(K oldName, K newName) {
        typename ClassMap::iterator found = m_classes.find(oldName);
        if (found == m_classes.end() || m_classes.count(newName) != 0) return false;
        T* object = found->second;
        m_classes.erase(found);
        m_classes.emplace(newName, object);
        return true;
    }

private:
    typename ClassMap::const_iterator FindObject(T* object) const {
        typename ClassMap::const_iterator entry = m_classes.begin();
        while (entry != m_classes.end() && entry->second != object) ++entry;
        return entry;
    }

    ClassMap m_classes;
};

// Factories by upper-case type name, compared case-sensitively. Owns every
// factory registered in it; a factory registered under a taken name replaces
// (and deletes) the old one, which is how a host overrides a built-in factory.
template <typename F>
class CFactoryManager {
public:
    typedef std::map<CString, F*> FactoryMap;

    CFactoryManager() = default;
    CFactoryManager(const CFactoryManager&) = delete;
    CFactoryManager& operator=(const CFactoryManager&) = delete;

    virtual ~CFactoryManager() {
        for (typename FactoryMap::value_type& entry : m_factories) delete entry.second;
    }

    void RegisterFactory(CString type, F* factory) {
        typename FactoryMap::iterator found = m_factories.find(type);
        if (found == m_factories.end()) {
            m_factories.emplace(type, factory);
            return;
        }
        F* previous = found->second;
        found->second = factory;
        if (previous != factory) delete previous;
    }

protected:
    // Null for a type name without a factory.
    F* FindFactory(const CString& type) const {
        typename FactoryMap::const_iterator found = m_factories.find(type);
        return found == m_factories.end() ? nullptr : found->second;
    }

    FactoryMap m_factories;
};

// ==== Factory families ====

// Each family's base constructor registers the new factory in the registry it
// is given, which then owns it: `new CSomeFactory(registry)` is all it takes.

class PYRELUNE_API IParticleSystemFactory {
public:
    IParticleSystemFactory(CParticleSystemManager* pRegistry, const CString& type);
    virtual ~IParticleSystemFactory();
    // A new system the caller owns, or null.
    virtual IParticleSystem* Create(CParticleSystemManager* pManager) const = 0;
};

class PYRELUNE_API IEmitterFactory {
public:
    IEmitterFactory(CEmitterManager* pRegistry, const CString& type);
    virtual ~IEmitterFactory();
    virtual IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const = 0;
};

// "POINT"
class PYRELUNE_API CPointEmitterFactory : public IEmitterFactory {
public:
    explicit CPointEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "BOX"
class PYRELUNE_API CBoxEmitterFactory : public IEmitterFactory {
public:
    explicit CBoxEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "SPHERE"
class PYRELUNE_API CSphereEmitterFactory : public IEmitterFactory {
public:
    explicit CSphereEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "CYLINDER"
class PYRELUNE_API CCylinderEmitterFactory : public IEmitterFactory {
public:
    explicit CCylinderEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "TORUS"
class PYRELUNE_API CTorusEmitterFactory : public IEmitterFactory {
public:
    explicit CTorusEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "STATICMESH_FROMXFILE": "fileName" is resolved against the document's own
// file name; "emitType" "VERTEX" emits from vertices, anything else from faces.
class PYRELUNE_API CStaticMeshEmitterFactory : public IEmitterFactory {
public:
    explicit CStaticMeshEmitterFactory(CEmitterManager* pRegistry);
    IEmitter* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

class PYRELUNE_API IPSParamsFactory {
public:
    IPSParamsFactory(CPSParamsManager* pRegistry, const CString& type);
    virtual ~IPSParamsFactory();
    virtual IParticleSystemParams* Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                          const Vastrel::Utils::CMyXMLNode* pNode) const = 0;
};

// "STANDARD"
class PYRELUNE_API CStandardPSParamsFactory : public IPSParamsFactory {
public:
    explicit CStandardPSParamsFactory(CPSParamsManager* pRegistry);
    IParticleSystemParams* Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                  const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "POINTSPRITE": a billboard set on a device without per-vertex point size.
class PYRELUNE_API CPointSpritePSParamsFactory : public IPSParamsFactory {
public:
    explicit CPointSpritePSParamsFactory(CPSParamsManager* pRegistry);
    IParticleSystemParams* Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                  const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "BILLBOARD"
class PYRELUNE_API CBillboardPSParamsFactory : public IPSParamsFactory {
public:
    explicit CBillboardPSParamsFactory(CPSParamsManager* pRegistry);
    IParticleSystemParams* Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                  const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "MESH"
class PYRELUNE_API CMeshPSParamsFactory : public IPSParamsFactory {
public:
    explicit CMeshPSParamsFactory(CPSParamsManager* pRegistry);
    IParticleSystemParams* Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                  const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

class PYRELUNE_API ITextureFactory {
public:
    ITextureFactory(CTextureManager* pRegistry, const CString& type);
    virtual ~ITextureFactory();
    virtual ITexture* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const = 0;
};

// "SINGLE"
class PYRELUNE_API CSingleTextureFactory : public ITextureFactory {
public:
    explicit CSingleTextureFactory(CTextureManager* pRegistry);
    ITexture* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

// "ANIMATED"
class PYRELUNE_API CAnimTextureFactory : public ITextureFactory {
public:
    explicit CAnimTextureFactory(CTextureManager* pRegistry);
    ITexture* Create(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode) const override;
};

class PYRELUNE_API IParticleContainerFactory {
public:
    IParticleContainerFactory(CParticleContainerManager* pRegistry, const CString& type);
    virtual ~IParticleContainerFactory();
    virtual IParticleContainer* Create() const = 0;
};

// "SIMPLE"
class PYRELUNE_API CSimpleParticleContainerFactory : public IParticleContainerFactory {
public:
    explicit CSimpleParticleContainerFactory(CParticleContainerManager* pRegistry);
    IParticleContainer* Create() const override;
};

// "POOL"
class PYRELUNE_API CPoolParticleContainerFactory : public IParticleContainerFactory {
public:
    explicit CPoolParticleContainerFactory(CParticleContainerManager* pRegistry);
    IParticleContainer* Create() const override;
};

// "POINTSPRITE": a billboard system on a device without per-vertex point size.
class PYRELUNE_API CPointSpriteParticleSystemFactory : public IParticleSystemFactory {
public:
    explicit CPointSpriteParticleSystemFactory(CParticleSystemManager* pRegistry);
    IParticleSystem* Create(CParticleSystemManager* pManager) const override;
};

// "BILLBOARD"
class PYRELUNE_API CBillboardParticleSystemFactory : public IParticleSystemFactory {
public:
    explicit CBillboardParticleSystemFactory(CParticleSystemManager* pRegistry);
    IParticleSystem* Create(CParticleSystemManager* pManager) const override;
};

// "MESH"
class PYRELUNE_API CMeshParticleSystemFactory : public IParticleSystemFactory {
public:
    explicit CMeshParticleSystemFactory(CParticleSystemManager* pRegistry);
    IParticleSystem* Create(CParticleSystemManager* pManager) const override;
};

// ==== Piece registries ====

// Destruction deletes the factories first, then the registered emitters.
class PYRELUNE_API CEmitterManager : public CManager<CString, IEmitter>, public CFactoryManager<IEmitterFactory> {
public:
    CEmitterManager();
    ~CEmitterManager() override;

    // Builds one emitter from an "Emitter" element and registers it under its "name".
    void LoadEmitter(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);

private:
    CString GetEmptyVal() const override;
};

class PYRELUNE_API CPSParamsManager : public CManager<CString, IParticleSystemParams>,
                                      public CFactoryManager<IPSParamsFactory> {
public:
    CPSParamsManager();
    ~CPSParamsManager() override;

    // pEmitters is handed to the factory: parameter sets name emitters.
    void LoadParams(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters, const Vastrel::Utils::CMyXMLNode* pNode);

private:
    CString GetEmptyVal() const override;
};

class PYRELUNE_API CTextureManager : public CManager<CString, ITexture>, public CFactoryManager<ITextureFactory> {
public:
    CTextureManager();
    ~CTextureManager() override;

    void LoadTexture(IDirect3DDevice9* pDevice, const Vastrel::Utils::CMyXMLNode* pNode);

private:
    CString GetEmptyVal() const override;
};

// Holds only container factories: each system owns its own container.
class PYRELUNE_API CParticleContainerManager : public CFactoryManager<IParticleContainerFactory> {
public:
    CParticleContainerManager();
    ~CParticleContainerManager() override;

    // A new container the caller owns, or null for an unknown type name.
    IParticleContainer* CreateParticleContainer(const CString& type) const;
};

// ==== Particle system manager ====

// The host's entry point: owns the named particle systems and their factories,
// uses (and, when the host passed none, owns) the four piece registries, and
// drives every system once per frame with Update and then Render. Its own
// timeline starts, pauses and ends all systems at once. Single-threaded: every
// call, callbacks included, runs on the host's rendering thread.
class PYRELUNE_API CParticleSystemManager : public CManager<CString, IParticleSystem>,
                                            public CFactoryManager<IParticleSystemFactory>,
                                            public IPSTimer {
public:
    typedef void (*PMTimerCallback)(CParticleSystemManager* pManager, const IPSTimer::TimerProps& props,
                                    float lateness, void* pUserData);
    typedef void (*PSTimerCallback)(IParticleSystem* pSystem, const IPSTimer::TimerProps& props, float lateness,
                                    void* pUserData);

    // A null registry is created and owned by the manager; a given one is only used.
    // seedRandom seeds the C runtime's generator with the fresh timeline's clock.
    CParticleSystemManager(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters, CPSParamsManager* pParams,
                           CParticleContainerManager* pContainers, CTextureManager* pTextures, bool seedRandom);
    ~CParticleSystemManager() override;

    void Update(float dt, const D3DXMATRIXA16& world, bool useWorld);
    void Render(const D3DXMATRIXA16& matrix, bool useWorld, SParticleSystemRenderProperties* pProperties) const;

    IDirect3DDevice9* GetD3DDevice() const { return m_pDevice; }
    CEmitterManager* GetEmitterManager() { return m_pEmitterManager; }
    const CEmitterManager* GetEmitterManager() const { return m_pEmitterManager; }
    CPSParamsManager* GetParamsManager() { return m_pParamsManager; }
    const CPSParamsManager* GetParamsManager() const { return m_pParamsManager; }
    CParticleContainerManager* GetParticleContainerManager() { return m_pContainerManager; }
    const CParticleContainerManager* GetParticleContainerManager() const { return m_pContainerManager; }
    CTextureManager* GetTextureManager() { return m_pTextureManager; }
    const CTextureManager* GetTextureManager() const { return m_pTextureManager; }

    // Rows: right, up, at (w 0) and position (w 1).
    void SetCameraMatrix(const D3DXMATRIX& matrix) { m_cameraMatrix = matrix; }
    const D3DXMATRIX& GetCameraMatrix() const { return m_cameraMatrix; }
    void SetCameraRight(const D3DXVECTOR3& right);
    void SetCameraUp(const D3DXVECTOR3& up);
    void SetCameraAt(const D3DXVECTOR3& at);
    void SetCameraPos(const D3DXVECTOR3& position);
    D3DXVECTOR3 GetCameraRight() const;
    D3DXVECTOR3 GetCameraUp() const;
    D3DXVECTOR3 GetCameraAt() const;
    D3DXVECTOR3 GetCameraPos() const;
    // The camera matrix becomes the inverse of the view matrix; a singular one is ignored.
    void SetCameraMatrixFromViewMatrix(const D3DXMATRIX& view);

    // Empties the drawing order: nothing is drawn until the next Update rebuilds it.
    void SetAutoSortingByEmitterCameraDistance(bool autoSorting);
    bool GetAutoSortingByEmitterCameraDistance() const { return m_bAutoSorting; }

    // Each system in name order; stops at the first that fails.
    bool BeginReset();
    bool EndReset();

    float GetMaxLifeTime() const;
    unsigned int GetActiveParticleCount() const;

    // Hands the mesh to every static mesh emitter, in name order; other emitters are skipped.
    void SetMeshToEmitters(IDirect3DVertexBuffer9* pVB, IDirect3DIndexBuffer9* pIB, D3DXMATRIXA16* pMatrix);

    // A null function switches the callback off.
    void RegisterPMTimerCallback(PMTimerCallback callback, void* pUserData);
    void RegisterPSTimerCallback(PSTimerCallback callback, void* pUserData);

    // Replacing a system deletes it, so the drawing order is emptied as Remove does.
    void Add(CString name, IParticleSystem* pSystem) override;
    bool Remove(CString name) override;
    // Deletes every system, empties the emitter, parameter and texture
    // registries (owned or not) and clears the manager's timeline.
    void Clear() override;

    // Adds a definition document's timeline events, pieces and systems;
    // same-named ones are replaced. False, with nothing changed, for a file
    // that cannot be read or whose root is not "ParticleSystems"; rejected
    // elements are reported and skipped, and the load still returns true.
    bool LoadParticleSystemsFromFile(const CString& fileName);
    // Writes the timeline, every piece and every system to fileName, replacing it.
    void SaveParticleSystems(const CString& fileName);

    void OnTimer(const TimerProps& props, float lateness) override;

private:
    friend class IParticleSystem;

    CString GetEmptyVal() const override;

    std::vector<CString> NamesLastFirst() const;
    std::vector<IParticleSystem*> SystemsInDrawingScope() const;
    void UpdateSystems(float dt, const D3DXMATRIXA16& world, bool useWorld);
    void RebuildRenderList();
    void PassEventToSystem(IParticleSystem* pSystem, const TimerProps& props, float lateness);
    void CallPSTimerCallback(IParticleSystem* pSystem, const TimerProps& props, float lateness) const;
    void SetCameraRow(int row, const D3DXVECTOR3& v, float w);
    D3DXVECTOR3 GetCameraRow(int row) const;
    void LoadDocumentElement(const Vastrel::Utils::CMyXMLNode* pElement);
    void LoadParticleSystem(const Vastrel::Utils::CMyXMLNode* pElement);

    IDirect3DDevice9* m_pDevice;  // the host's; never add-ref'd or released
    D3DXMATRIX m_cameraMatrix;    // the camera's world matrix; identity until the host sets it
    bool m_bOwnsEmitterManager;
    CEmitterManager* m_pEmitterManager;
    bool m_bOwnsParamsManager;
    CPSParamsManager* m_pParamsManager;
    bool m_bOwnsContainerManager;
    CParticleContainerManager* m_pContainerManager;
    bool m_bOwnsTextureManager;
    CTextureManager* m_pTextureManager;
    bool m_bAutoSorting = false;
    std::vector<IParticleSystem*> m_renderList;  // drawing order while auto-sorting; not owned
    void* m_pPMTimerUserData = nullptr;
    void* m_pPSTimerUserData = nullptr;
    PMTimerCallback m_pPMTimerCallback = nullptr;
    PSTimerCallback m_pPSTimerCallback = nullptr;
};
