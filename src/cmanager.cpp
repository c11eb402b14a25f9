// Index
//   ==== Factory families ====
//   ==== Piece registries ====
//   ==== Particle system manager ====
//   ==== Definition document ====
#include "cmanager.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include <platform/crt_rand.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "UtilsSrc/utility.h"
#include "BillboardParticle/cbillboardparticlesystem.h"
#include "BillboardParticle/cbillboardparticlesystemparams.h"
#include "MeshParticle/cmeshparticlesystem.h"
#include "MeshParticle/cmeshparticlesystemparams.h"
#include "PointSpriteParticle/cpointspriteparticlesystem.h"
#include "PointSpriteParticle/cpointspriteparticlesystemparams.h"
#include "particleeffect.h"

using Vastrel::Utils::CMyXMLNode;

// ==== Factory families ====

IParticleSystemFactory::IParticleSystemFactory(CParticleSystemManager* pRegistry, const CString& type) {
    pRegistry->RegisterFactory(type, this);
}

IParticleSystemFactory::~IParticleSystemFactory() = default;

namespace {

// Point sprites need a per-vertex point size; without it the point-sprite
// factories build billboards.
bool HasPointSize(IDirect3DDevice9* pDevice) {
    D3DCAPS9 caps = {};
    return pDevice && SUCCEEDED(pDevice->GetDeviceCaps(&caps)) && (caps.FVFCaps & D3DFVFCAPS_PSIZE) != 0;
}

}  // namespace

CPointSpriteParticleSystemFactory::CPointSpriteParticleSystemFactory(CParticleSystemManager* pRegistry)
    : IParticleSystemFactory(pRegistry, "POINTSPRITE") {}

IParticleSystem* CPointSpriteParticleSystemFactory::Create(CParticleSystemManager* pManager) const {
    if (HasPointSize(pManager->GetD3DDevice())) return new CPointSpriteParticleSystem(pManager);
    return new CBillboardParticleSystem(pManager);
}

CBillboardParticleSystemFactory::CBillboardParticleSystemFactory(CParticleSystemManager* pRegistry)
    : IParticleSystemFactory(pRegistry, "BILLBOARD") {}

IParticleSystem* CBillboardParticleSystemFactory::Create(CParticleSystemManager* pManager) const {
    return new CBillboardParticleSystem(pManager);
}

CMeshParticleSystemFactory::CMeshParticleSystemFactory(CParticleSystemManager* pRegistry)
    : IParticleSystemFactory(pRegistry, "MESH") {}

IParticleSystem* CMeshParticleSystemFactory::Create(CParticleSystemManager* pManager) const {
    return new CMeshParticleSystem(pManager);
}

IEmitterFactory::IEmitterFactory(CEmitterManager* pRegistry, const CString& type) {
    pRegistry->RegisterFactory(type, this);
}

IEmitterFactory::~IEmitterFactory() = default;

CPointEmitterFactory::CPointEmitterFactory(CEmitterManager* pRegistry) : IEmitterFactory(pRegistry, "POINT") {}

IEmitter* CPointEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CPointEmitter(pDevice, pNode);
}

CBoxEmitterFactory::CBoxEmitterFactory(CEmitterManager* pRegistry) : IEmitterFactory(pRegistry, "BOX") {}

IEmitter* CBoxEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CBoxEmitter(pDevice, pNode);
}

CSphereEmitterFactory::CSphereEmitterFactory(CEmitterManager* pRegistry) : IEmitterFactory(pRegistry, "SPHERE") {}

IEmitter* CSphereEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CSphereEmitter(pDevice, pNode);
}

CCylinderEmitterFactory::CCylinderEmitterFactory(CEmitterManager* pRegistry)
    : IEmitterFactory(pRegistry, "CYLINDER") {}

IEmitter* CCylinderEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CCylinderEmitter(pDevice, pNode);
}

CTorusEmitterFactory::CTorusEmitterFactory(CEmitterManager* pRegistry) : IEmitterFactory(pRegistry, "TORUS") {}

IEmitter* CTorusEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CTorusEmitter(pDevice, pNode);
}

CStaticMeshEmitterFactory::CStaticMeshEmitterFactory(CEmitterManager* pRegistry)
    : IEmitterFactory(pRegistry, "STATICMESH_FROMXFILE") {}

IEmitter* CStaticMeshEmitterFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    CString fileName, emitType;
    pNode->GetAttribute("fileName", fileName);
    pNode->GetAttribute("emitType", emitType);
    const Vastrel::Utils::CMyXMLParser* pParser = pNode->GetParser();
    const CString document = pParser ? pParser->GetFileName() : CString();
    const CString path = Vastrel::Utils::Utility::GetAbsolutePath(fileName, document);
    CStaticMeshEmitter* pEmitter = new CStaticMeshEmitter(pDevice, path, emitType != "VERTEX");
    pEmitter->LoadData(pNode);
    return pEmitter;
}

IPSParamsFactory::IPSParamsFactory(CPSParamsManager* pRegistry, const CString& type) {
    pRegistry->RegisterFactory(type, this);
}

IPSParamsFactory::~IPSParamsFactory() = default;

CStandardPSParamsFactory::CStandardPSParamsFactory(CPSParamsManager* pRegistry)
    : IPSParamsFactory(pRegistry, "STANDARD") {}

IParticleSystemParams* CStandardPSParamsFactory::Create(IDirect3DDevice9*, CEmitterManager* pEmitters,
                                                        const CMyXMLNode* pNode) const {
    return new CStandardParticleSystemParams(pEmitters, pNode, PSPT_STANDARD);
}

CPointSpritePSParamsFactory::CPointSpritePSParamsFactory(CPSParamsManager* pRegistry)
    : IPSParamsFactory(pRegistry, "POINTSPRITE") {}

IParticleSystemParams* CPointSpritePSParamsFactory::Create(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                                           const CMyXMLNode* pNode) const {
    if (HasPointSize(pDevice)) return new CPointSpriteParticleSystemParams(pEmitters, pNode);
    return new CBillboardParticleSystemParams(pEmitters, pNode);
}

CBillboardPSParamsFactory::CBillboardPSParamsFactory(CPSParamsManager* pRegistry)
    : IPSParamsFactory(pRegistry, "BILLBOARD") {}

IParticleSystemParams* CBillboardPSParamsFactory::Create(IDirect3DDevice9*, CEmitterManager* pEmitters,
                                                         const CMyXMLNode* pNode) const {
    return new CBillboardParticleSystemParams(pEmitters, pNode);
}

CMeshPSParamsFactory::CMeshPSParamsFactory(CPSParamsManager* pRegistry) : IPSParamsFactory(pRegistry, "MESH") {}

IParticleSystemParams* CMeshPSParamsFactory::Create(IDirect3DDevice9*, CEmitterManager* pEmitters,
                                                    const CMyXMLNode* pNode) const {
    return new CMeshParticleSystemParams(pEmitters, pNode);
}

ITextureFactory::ITextureFactory(CTextureManager* pRegistry, const CString& type) {
    pRegistry->RegisterFactory(type, this);
}

ITextureFactory::~ITextureFactory() = default;

CSingleTextureFactory::CSingleTextureFactory(CTextureManager* pRegistry) : ITextureFactory(pRegistry, "SINGLE") {}

ITexture* CSingleTextureFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CTexture(pDevice, pNode);
}

CAnimTextureFactory::CAnimTextureFactory(CTextureManager* pRegistry) : ITextureFactory(pRegistry, "ANIMATED") {}

ITexture* CAnimTextureFactory::Create(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) const {
    return new CAnimTexture(pDevice, pNode);
}

IParticleContainerFactory::IParticleContainerFactory(CParticleContainerManager* pRegistry, const CString& type) {
    pRegistry->RegisterFactory(type, this);
}

IParticleContainerFactory::~IParticleContainerFactory() = default;

CSimpleParticleContainerFactory::CSimpleParticleContainerFactory(CParticleContainerManager* pRegistry)
    : IParticleContainerFactory(pRegistry, "SIMPLE") {}

IParticleContainer* CSimpleParticleContainerFactory::Create() const { return new CSimpleParticleContainer(); }

CPoolParticleContainerFactory::CPoolParticleContainerFactory(CParticleContainerManager* pRegistry)
    : IParticleContainerFactory(pRegistry, "POOL") {}

IParticleContainer* CPoolParticleContainerFactory::Create() const { return new CPoolParticleContainer(); }

// ==== Piece registries ====

namespace {

const char* const kManagerSource = "src/cmanager";

// One built-in factory: its type name and the call that constructs it, which
// registers it in the registry under that name.
template <typename Registry>
struct SFactoryRow {
    const char* type;
    void (*install)(Registry* pRegistry);
};

template <typename Registry>
void InstallFactories(Registry* pRegistry, std::initializer_list<SFactoryRow<Registry>> rows) {
    for (const SFactoryRow<Registry>& row : rows) row.install(pRegistry);
}

// The built-in factories of each registry, in registration order. A kind's
// row joins its table together with the kind.
const std::initializer_list<SFactoryRow<CEmitterManager>> kEmitterFactoryRows = {
    {"POINT", [](CEmitterManager* pRegistry) { new CPointEmitterFactory(pRegistry); }},
    {"BOX", [](CEmitterManager* pRegistry) { new CBoxEmitterFactory(pRegistry); }},
    {"SPHERE", [](CEmitterManager* pRegistry) { new CSphereEmitterFactory(pRegistry); }},
    {"CYLINDER", [](CEmitterManager* pRegistry) { new CCylinderEmitterFactory(pRegistry); }},
    {"TORUS", [](CEmitterManager* pRegistry) { new CTorusEmitterFactory(pRegistry); }},
    {"STATICMESH_FROMXFILE", [](CEmitterManager* pRegistry) { new CStaticMeshEmitterFactory(pRegistry); }},
};
const std::initializer_list<SFactoryRow<CPSParamsManager>> kParamsFactoryRows = {
    {"STANDARD", [](CPSParamsManager* pRegistry) { new CStandardPSParamsFactory(pRegistry); }},
    {"POINTSPRITE", [](CPSParamsManager* pRegistry) { new CPointSpritePSParamsFactory(pRegistry); }},
    {"BILLBOARD", [](CPSParamsManager* pRegistry) { new CBillboardPSParamsFactory(pRegistry); }},
    {"MESH", [](CPSParamsManager* pRegistry) { new CMeshPSParamsFactory(pRegistry); }},
};
const std::initializer_list<SFactoryRow<CTextureManager>> kTextureFactoryRows = {
    {"SINGLE", [](CTextureManager* pRegistry) { new CSingleTextureFactory(pRegistry); }},
    {"ANIMATED", [](CTextureManager* pRegistry) { new CAnimTextureFactory(pRegistry); }},
};
const std::initializer_list<SFactoryRow<CParticleContainerManager>> kContainerFactoryRows = {
    {"SIMPLE", [](CParticleContainerManager* pRegistry) { new CSimpleParticleContainerFactory(pRegistry); }},
    {"POOL", [](CParticleContainerManager* pRegistry) { new CPoolParticleContainerFactory(pRegistry); }},
};
const std::initializer_list<SFactoryRow<CParticleSystemManager>> kSystemFactoryRows = {
    {"POINTSPRITE", [](CParticleSystemManager* pRegistry) { new CPointSpriteParticleSystemFactory(pRegistry); }},
    {"BILLBOARD", [](CParticleSystemManager* pRegistry) { new CBillboardParticleSystemFactory(pRegistry); }},
    {"MESH", [](CParticleSystemManager* pRegistry) { new CMeshParticleSystemFactory(pRegistry); }},
};

struct SPieceMessages {
    int missingName;
    int missingType;
};

const SPieceMessages kEmitterMessages = {111, 119};
const SPieceMessages kParamsMessages = {110, 120};
const SPieceMessages kTextureMessages = {112, 121};

// Reads "name" and, only when it is present, "type"; reports what is missing.
bool ReadNameAndType(const CMyXMLNode* pNode, const SPieceMessages& messages, long line, CString& name,
                     CString& type) {
    if (pNode->GetAttribute("name", name) && pNode->GetAttribute("type", type)) return true;
    if (name.IsEmpty()) Vastrel::Utils::ReportError(kManagerSource, line, messages.missingName);
    if (type.IsEmpty()) Vastrel::Utils::ReportError(kManagerSource, line, messages.missingType);
    return false;
}

}  // namespace

CEmitterManager::CEmitterManager() { InstallFactories(this, kEmitterFactoryRows); }

CEmitterManager::~CEmitterManager() = default;

void CEmitterManager::LoadEmitter(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) {
    CString name, type;
    if (!ReadNameAndType(pNode, kEmitterMessages, __LINE__, name, type)) return;
    const IEmitterFactory* pFactory = FindFactory(type);
    if (!pFactory) return;
    if (IEmitter* pEmitter = pFactory->Create(pDevice, pNode)) Add(name, pEmitter);
}

CString CEmitterManager::GetEmptyVal() const { return CString(); }

CPSParamsManager::CPSParamsManager() { InstallFactories(this, kParamsFactoryRows); }

CPSParamsManager::~CPSParamsManager() = default;

void CPSParamsManager::LoadParams(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters, const CMyXMLNode* pNode) {
    CString name, type;
    if (!ReadNameAndType(pNode, kParamsMessages, __LINE__, name, type)) return;
    const IPSParamsFactory* pFactory = FindFactory(type);
    if (!pFactory) return;
    if (IParticleSystemParams* pParams = pFactory->Create(pDevice, pEmitters, pNode)) Add(name, pParams);
}

CString CPSParamsManager::GetEmptyVal() const { return CString(); }

CTextureManager::CTextureManager() { InstallFactories(this, kTextureFactoryRows); }

CTextureManager::~CTextureManager() = default;

void CTextureManager::LoadTexture(IDirect3DDevice9* pDevice, const CMyXMLNode* pNode) {
    CString name, type;
    if (!ReadNameAndType(pNode, kTextureMessages, __LINE__, name, type)) return;
    const ITextureFactory* pFactory = FindFactory(type);
    if (!pFactory) return;
    if (ITexture* pTexture = pFactory->Create(pDevice, pNode)) Add(name, pTexture);
}

CString CTextureManager::GetEmptyVal() const { return CString(); }

CParticleContainerManager::CParticleContainerManager() { InstallFactories(this, kContainerFactoryRows); }

CParticleContainerManager::~CParticleContainerManager() = default;

IParticleContainer* CParticleContainerManager::CreateParticleContainer(const CString& type) const {
    const IParticleContainerFactory* pFactory = FindFactory(type);
    return pFactory ? pFactory->Create() : nullptr;
}

// ==== Particle system manager ====

namespace {

template <typename Registry>
Registry* UseOrCreate(Registry* pGiven, bool& owns) {
    owns = pGiven == nullptr;
    return owns ? new Registry() : pGiven;
}

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

// Drawing order: systems without an emitter first, then those that do not
// sort their particles, nearest emitter first, then those that do, farthest
// emitter first.
class CEmitterCameraOrder {
public:
    explicit CEmitterCameraOrder(const D3DXVECTOR3& camera) : m_camera(camera) {}

    bool operator()(const IParticleSystem* a, const IParticleSystem* b) const {
        const IEmitter* pEmitterA = a->GetEmitter();
        const IEmitter* pEmitterB = b->GetEmitter();
        if (!pEmitterA || !pEmitterB) return !pEmitterA && pEmitterB;
        const bool sortsA = a->GetSortingParticles();
        const bool sortsB = b->GetSortingParticles();
        if (sortsA != sortsB) return !sortsA;
        const float distanceA = DistanceTo(*pEmitterA);
        const float distanceB = DistanceTo(*pEmitterB);
        return sortsA ? distanceA > distanceB : distanceA < distanceB;
    }

private:
    float DistanceTo(const IEmitter& emitter) const {
        const D3DXMATRIX matrix = emitter.GetMatrix();
        return Distance(D3DXVECTOR3(matrix._41, matrix._42, matrix._43), m_camera);
    }

    D3DXVECTOR3 m_camera;
};

}  // namespace

CParticleSystemManager::CParticleSystemManager(IDirect3DDevice9* pDevice, CEmitterManager* pEmitters,
                                               CPSParamsManager* pParams, CParticleContainerManager* pContainers,
                                               CTextureManager* pTextures, bool seedRandom)
    : m_pDevice(pDevice) {
    CreateParticleSystemDXResources(pDevice);
    D3DXMatrixIdentity(&m_cameraMatrix);
    m_pEmitterManager = UseOrCreate(pEmitters, m_bOwnsEmitterManager);
    m_pParamsManager = UseOrCreate(pParams, m_bOwnsParamsManager);
    m_pContainerManager = UseOrCreate(pContainers, m_bOwnsContainerManager);
    m_pTextureManager = UseOrCreate(pTextures, m_bOwnsTextureManager);
    if (seedRandom) crt::srand(static_cast<unsigned int>(static_cast<int>(GetTickCount())));
    InstallFactories(this, kSystemFactoryRows);
}

// The systems themselves go last, with the registry base, after the pieces
// they name: a system's destructor must not use its pieces.
CParticleSystemManager::~CParticleSystemManager() {
    if (m_bOwnsTextureManager) delete m_pTextureManager;
    if (m_bOwnsContainerManager) delete m_pContainerManager;
    if (m_bOwnsParamsManager) delete m_pParamsManager;
    if (m_bOwnsEmitterManager) delete m_pEmitterManager;
}

void CParticleSystemManager::Update(float dt, const D3DXMATRIXA16& world, bool useWorld) {
    UpdateTimer(dt);
    UpdateSystems(dt, world, useWorld);
    if (m_bAutoSorting) RebuildRenderList();
}

void CParticleSystemManager::Render(const D3DXMATRIXA16& matrix, bool useWorld,
                                    SParticleSystemRenderProperties* pProperties) const {
    for (IParticleSystem* pSystem : SystemsInDrawingScope()) pSystem->Render(matrix, useWorld, pProperties);
}

void CParticleSystemManager::SetCameraRight(const D3DXVECTOR3& right) { SetCameraRow(0, right, 0.0f); }
void CParticleSystemManager::SetCameraUp(const D3DXVECTOR3& up) { SetCameraRow(1, up, 0.0f); }
void CParticleSystemManager::SetCameraAt(const D3DXVECTOR3& at) { SetCameraRow(2, at, 0.0f); }
void CParticleSystemManager::SetCameraPos(const D3DXVECTOR3& position) { SetCameraRow(3, position, 1.0f); }
D3DXVECTOR3 CParticleSystemManager::GetCameraRight() const { return GetCameraRow(0); }
D3DXVECTOR3 CParticleSystemManager::GetCameraUp() const { return GetCameraRow(1); }
D3DXVECTOR3 CParticleSystemManager::GetCameraAt() const { return GetCameraRow(2); }
D3DXVECTOR3 CParticleSystemManager::GetCameraPos() const { return GetCameraRow(3); }

// The view matrix maps world to camera space, so its inverse is the camera's
// world matrix: exactly what sorting needs.
void CParticleSystemManager::SetCameraMatrixFromViewMatrix(const D3DXMATRIX& view) {
    D3DXMatrixInverse(&m_cameraMatrix, nullptr, &view);
}

void CParticleSystemManager::SetAutoSortingByEmitterCameraDistance(bool autoSorting) {
    m_renderList.clear();
    m_bAutoSorting = autoSorting;
}

bool CParticleSystemManager::BeginReset() {
    for (const ClassMap::value_type& entry : GetManagedClasses())
        if (entry.second && !entry.second->BeginReset()) return false;
    return true;
}

bool CParticleSystemManager::EndReset() {
    for (const ClassMap::value_type& entry : GetManagedClasses())
        if (entry.second && !entry.second->EndReset()) return false;
    return true;
}

float CParticleSystemManager::GetMaxLifeTime() const {
    float maxLifeTime = 0.0f;
    for (const IParticleSystem* pSystem : SystemsInDrawingScope()) {
        if (const CStandardParticleSystemParams* pParams = pSystem->GetStandardParticleParams())
            maxLifeTime = std::max(maxLifeTime, pParams->GetMaxLifeTime());
    }
    return maxLifeTime;
}

unsigned int CParticleSystemManager::GetActiveParticleCount() const {
    unsigned int count = 0;
    for (const ClassMap::value_type& entry : GetManagedClasses())
        if (entry.second) count += entry.second->GetParticleCount();
    return count;
}

// The emitter type tells the kind; only a static mesh emitter declares type 5.
void CParticleSystemManager::SetMeshToEmitters(IDirect3DVertexBuffer9* pVB, IDirect3DIndexBuffer9* pIB,
                                               D3DXMATRIXA16* pMatrix) {
    for (const CEmitterManager::ClassMap::value_type& entry : m_pEmitterManager->GetManagedClasses())
        if (entry.second && entry.second->GetEmitterType() == ET_STATICMESH)
            static_cast<CStaticMeshEmitter*>(entry.second)->SetMesh(pVB, pIB, pMatrix);
}

void CParticleSystemManager::RegisterPMTimerCallback(PMTimerCallback callback, void* pUserData) {
    m_pPMTimerCallback = callback;
    m_pPMTimerUserData = pUserData;
}

void CParticleSystemManager::RegisterPSTimerCallback(PSTimerCallback callback, void* pUserData) {
    m_pPSTimerCallback = callback;
    m_pPSTimerUserData = pUserData;
}

void CParticleSystemManager::Add(CString name, IParticleSystem* pSystem) {
    IParticleSystem* pPrevious = Get(name);
    if (pPrevious && pPrevious != pSystem) m_renderList.clear();
    CManager<CString, IParticleSystem>::Add(name, pSystem);
}

bool CParticleSystemManager::Remove(CString name) {
    const bool removed = CManager<CString, IParticleSystem>::Remove(name);
    if (removed) m_renderList.clear();
    return removed;
}

void CParticleSystemManager::Clear() {
    CManager<CString, IParticleSystem>::Clear();
    m_pEmitterManager->Clear();
    m_pParamsManager->Clear();
    m_pTextureManager->Clear();
    m_renderList.clear();
    ClearTimer();
}

// Walks a snapshot of the names and looks each one up again, so systems and
// callbacks may add or remove systems during the walk.
void CParticleSystemManager::OnTimer(const TimerProps& props, float lateness) {
    for (const CString& name : NamesLastFirst())
        if (IParticleSystem* pSystem = Get(name)) PassEventToSystem(pSystem, props, lateness);
    if (m_pPMTimerCallback) m_pPMTimerCallback(this, props, lateness, m_pPMTimerUserData);
}

CString CParticleSystemManager::GetEmptyVal() const { return CString(); }

std::vector<CString> CParticleSystemManager::NamesLastFirst() const {
    std::vector<CString> names;
    names.reserve(GetCount());
    for (ClassMap::const_reverse_iterator entry = GetManagedClasses().rbegin(); entry != GetManagedClasses().rend();
         ++entry)
        names.push_back(entry->first);
    return names;
}

// The render list while auto-sorting, otherwise every system in name order.
std::vector<IParticleSystem*> CParticleSystemManager::SystemsInDrawingScope() const {
    if (m_bAutoSorting) return m_renderList;
    std::vector<IParticleSystem*> systems;
    for (const ClassMap::value_type& entry : GetManagedClasses())
        if (entry.second) systems.push_back(entry.second);
    return systems;
}

// A finished system is removed only if its name still holds it: the walk may
// have replaced it.
void CParticleSystemManager::UpdateSystems(float dt, const D3DXMATRIXA16& world, bool useWorld) {
    for (const CString& name : NamesLastFirst()) {
        IParticleSystem* pSystem = Get(name);
        if (pSystem && !pSystem->Update(dt, world, useWorld) && Get(name) == pSystem) Remove(name);
    }
}

void CParticleSystemManager::RebuildRenderList() {
    m_renderList.clear();
    for (const ClassMap::value_type& entry : GetManagedClasses())
        if (entry.second && entry.second->IsNeedRender()) m_renderList.push_back(entry.second);
    std::sort(m_renderList.begin(), m_renderList.end(), CEmitterCameraOrder(GetCameraPos()));
}

void CParticleSystemManager::PassEventToSystem(IParticleSystem* pSystem, const TimerProps& props, float lateness) {
    switch (props.eType) {
        case TIMER_START:
            pSystem->ResetTimer();
            pSystem->StartTimer();
            break;
        case TIMER_PAUSE:
        case TIMER_END:
            pSystem->ResetTimer();
            pSystem->OnTimer(props, lateness);
            break;
    }
}

void CParticleSystemManager::CallPSTimerCallback(IParticleSystem* pSystem, const TimerProps& props,
                                                 float lateness) const {
    if (m_pPSTimerCallback) m_pPSTimerCallback(pSystem, props, lateness, m_pPSTimerUserData);
}

void CParticleSystemManager::SetCameraRow(int row, const D3DXVECTOR3& v, float w) {
    m_cameraMatrix.m[row][0] = v.x;
    m_cameraMatrix.m[row][1] = v.y;
    m_cameraMatrix.m[row][2] = v.z;
    m_cameraMatrix.m[row][3] = w;
}

D3DXVECTOR3 CParticleSystemManager::GetCameraRow(int row) const {
    return D3DXVECTOR3(m_cameraMatrix.m[row][0], m_cameraMatrix.m[row][1], m_cameraMatrix.m[row][2]);
}

// ==== Definition document ====

namespace {

const SPieceMessages kSystemMessages = {117, 118};

// One element per registered object, in name order: "name", then whatever
// the object's own Save writes ("type" included). A null entry has nothing
// to say and is left out.
template <typename T>
void SaveRegistryGroup(CMyXMLNode* pRoot, const char* element, const CManager<CString, T>& registry) {
    for (const typename CManager<CString, T>::ClassMap::value_type& entry : registry.GetManagedClasses()) {
        if (!entry.second) continue;
        CMyXMLNode* pChild = pRoot->AddChildren(element);
        pChild->SetAttribute("name", entry.first);
        entry.second->Save(pChild);
    }
}

}  // namespace

bool CParticleSystemManager::LoadParticleSystemsFromFile(const CString& fileName) {
    Vastrel::Utils::CMyXMLParser parser(fileName);
    const Vastrel::Utils::IXMLParser* pReader = parser.Create();
    parser.Read(nullptr);
    const CMyXMLNode* pRoot = pReader->GetRoot();
    if (!pRoot || pRoot->GetName() != "ParticleSystems") return false;
    for (const CMyXMLNode* pElement : pRoot->GetChildrens()) LoadDocumentElement(pElement);
    return true;
}

// Pieces first, so a reader of the saved document finds every emitter before
// the systems that show it.
void CParticleSystemManager::SaveParticleSystems(const CString& fileName) {
    Vastrel::Utils::CMyXMLParser parser(fileName);
    parser.Create();
    CMyXMLNode root(&parser, "ParticleSystems");
    root.SetAttribute("version", "1.0");
    SaveTimer(&root);
    SaveRegistryGroup(&root, "Emitter", *m_pEmitterManager);
    SaveRegistryGroup(&root, "ParticleSystemParams", *m_pParamsManager);
    SaveRegistryGroup(&root, "Texture", *m_pTextureManager);
    SaveRegistryGroup(&root, "ParticleSystem", *this);
    parser.Write(&root, 1);
}

// Elements with any other name are not ours and are ignored.
void CParticleSystemManager::LoadDocumentElement(const CMyXMLNode* pElement) {
    typedef void (*ElementLoader)(CParticleSystemManager& manager, const CMyXMLNode* pElement);
    static const std::pair<const char*, ElementLoader> kLoaders[] = {
        {"Timer", [](CParticleSystemManager& m, const CMyXMLNode* p) { m.InitTimer(p); }},
        {"Emitter",
         [](CParticleSystemManager& m, const CMyXMLNode* p) { m.m_pEmitterManager->LoadEmitter(m.m_pDevice, p); }},
        {"ParticleSystemParams",
         [](CParticleSystemManager& m, const CMyXMLNode* p) {
             m.m_pParamsManager->LoadParams(m.m_pDevice, m.m_pEmitterManager, p);
         }},
        {"Texture",
         [](CParticleSystemManager& m, const CMyXMLNode* p) { m.m_pTextureManager->LoadTexture(m.m_pDevice, p); }},
        {"ParticleSystem", [](CParticleSystemManager& m, const CMyXMLNode* p) { m.LoadParticleSystem(p); }},
    };
    const CString name = pElement->GetName();
    for (const std::pair<const char*, ElementLoader>& loader : kLoaders)
        if (name == loader.first) {
            loader.second(*this, pElement);
            return;
        }
}

// A factory that builds nothing registers nothing, as in the piece registries.
void CParticleSystemManager::LoadParticleSystem(const CMyXMLNode* pElement) {
    CString name, type;
    if (!ReadNameAndType(pElement, kSystemMessages, __LINE__, name, type)) return;
    const IParticleSystemFactory* pFactory = FindFactory(type);
    IParticleSystem* pSystem = pFactory ? pFactory->Create(this) : nullptr;
    if (!pSystem) return;
    pSystem->Init(pElement);
    Add(name, pSystem);
}
