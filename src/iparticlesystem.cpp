// Index
//   ==== Timeline ====
//   ==== Render properties ====
//   ==== Grouped allocation ====
//   ==== Parameter interfaces ====
//   ==== Particles ====
//   ==== Key values and interpolators ====
//   ==== Standard parameters ====
//   ==== Standard parameter updater ====
//   ==== Particle containers ====
//   ==== Particle system interface ====
#include "iparticlesystem.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

#include <platform/d3dxarchive.h>

#include "Corvantis/cd3dwatch.h"
#include "UtilsSrc/calc.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "cmanager.h"
#include "itexture.h"
#include "particleeffect.h"
#include "renderstatestack.h"

using Vastrel::Utils::Calc;
using Vastrel::Utils::CMyXMLNode;

namespace {

const char* const kSystemSource = "src/iparticlesystem";

// A name of a document keyword and the value it stands for.
template <typename V>
struct SNamedValue {
    const char* name;
    V value;
};

template <typename V, size_t N>
bool FindNamedValue(const SNamedValue<V> (&table)[N], const CString& name, V& value) {
    for (const SNamedValue<V>& row : table) {
        if (name != row.name) continue;
        value = row.value;
        return true;
    }
    return false;
}

template <typename V, size_t N>
const char* FindValueName(const SNamedValue<V> (&table)[N], V value) {
    for (const SNamedValue<V>& row : table)
        if (row.value == value) return row.name;
    return nullptr;
}

}  // namespace

// ==== Timeline ====

namespace {

struct STimerTypeName {
    IPSTimer::TimerEnums type;
    const char* name;
};

// The event type names of the "Time" element.
const STimerTypeName kTimerTypeNames[] = {
    {IPSTimer::TIMER_START, "START"},
    {IPSTimer::TIMER_PAUSE, "PAUSE"},
    {IPSTimer::TIMER_END, "END"},
};

bool TimerTypeFromName(const CString& name, IPSTimer::TimerEnums& type) {
    for (const STimerTypeName& row : kTimerTypeNames) {
        if (name == row.name) {
            type = row.type;
            return true;
        }
    }
    return false;
}

const char* TimerTypeName(IPSTimer::TimerEnums type) {
    for (const STimerTypeName& row : kTimerTypeNames)
        if (row.type == type) return row.name;
    return nullptr;
}

}  // namespace

IPSTimer::~IPSTimer() = default;

void IPSTimer::InitTimer(const CMyXMLNode* pNode) {
    pNode->GetBoolAttribute("Loop", m_bLoop);
    pNode->GetFloatAttribute("LoopTime", m_fLoopTime);
    for (const CMyXMLNode* pChild : pNode->GetChildrens()) {
        float time = 0.0f;
        CString typeName;
        TimerEnums type;
        if (pChild->GetName() != "Time") continue;
        if (!pChild->GetFloatAttribute("time", time) || !pChild->GetAttribute("type", typeName)) continue;
        if (TimerTypeFromName(typeName, type)) AddTimer(time, type);
    }
}

void IPSTimer::ClearTimer() {
    m_times.clear();
    m_fLoopTime = 0.0f;
    m_bLoop = true;
    ResetTimer();
}

void IPSTimer::ResetTimer() {
    m_fTickCount = 0.0f;
    m_fLastFired = -1.0f;
    m_bRunning = false;
}

void IPSTimer::SaveTimer(CMyXMLNode* pNode) const {
    if (m_times.empty()) return;
    CMyXMLNode* pTimer = pNode->AddChildren("Timer");
    pTimer->SetAttribute("Loop", m_bLoop);
    pTimer->SetAttribute("LoopTime", m_fLoopTime);
    for (const TimerProps& event : m_times) {
        CMyXMLNode* pTime = pTimer->AddChildren("Time");
        pTime->SetAttribute("time", event.fTime);
        if (const char* name = TimerTypeName(event.eType)) pTime->SetAttribute("type", CString(name));
    }
}

bool IPSTimer::UpdateTimer(float dt) {
    if (!m_bRunning) return false;
    m_fTickCount += dt;
    FireDueEvents();
    if (IsLoopDue()) {
        m_fTickCount = m_fLoopTime;
        m_fLastFired = -1.0f;
    }
    return true;
}

void IPSTimer::StartTimer() {
    m_bRunning = true;
    if (m_times.empty()) OnTimer(TimerProps{0.0f, TIMER_START}, 0.0f);
}

void IPSTimer::StopTimer() { ResetTimer(); }

void IPSTimer::PauseTimer() { m_bRunning = false; }

bool IPSTimer::AddTimer(float time, TimerEnums type) {
    if (FindTime(time) != m_times.end()) return false;
    m_times.push_back(TimerProps{time, type});
    std::sort(m_times.begin(), m_times.end(), SortTimes);
    return true;
}

bool IPSTimer::RemoveTimer(float time) {
    TimerList::iterator found = FindTime(time);
    if (found == m_times.end()) return false;
    m_times.erase(found);
    return true;
}

bool IPSTimer::SetTimer(float time, TimerEnums type) {
    TimerList::iterator found = FindTime(time);
    if (found == m_times.end()) return false;
    found->eType = type;
    return true;
}

IPSTimer::TimerList::const_iterator IPSTimer::GetTimerIterator(float time) const {
    return std::find_if(m_times.begin(), m_times.end(),
                        [time](const TimerProps& event) { return event.fTime == time; });
}

bool IPSTimer::GetLoop(float& loopTime) const {
    loopTime = m_fLoopTime;
    return m_bLoop;
}

void IPSTimer::SetLoop(bool loop, float loopTime) {
    m_bLoop = loop;
    m_fLoopTime = loopTime;
}

bool IPSTimer::SortTimes(const TimerProps& a, const TimerProps& b) { return a.fTime < b.fTime; }

IPSTimer::TimerList::iterator IPSTimer::FindTime(float time) {
    return m_times.begin() + std::distance(m_times.cbegin(), GetTimerIterator(time));
}

// An event fires once the clock is strictly past it. The last event also
// fires when the clock lands exactly on it and the loop is about to jump
// back, so an "END" that closes a pass is never skipped.
bool IPSTimer::IsDue(size_t index) const {
    const float time = m_times[index].fTime;
    if (time <= m_fLastFired) return false;
    if (m_fTickCount > time) return true;
    return m_fTickCount == time && index + 1 == m_times.size() && IsLoopDue();
}

bool IPSTimer::IsLoopDue() const {
    return !m_times.empty() && m_bLoop && m_fLoopTime < m_fTickCount && m_fTickCount >= m_times.back().fTime;
}

// Indexed, and each event copied, because OnTimer may stop the timeline or
// change its list.
void IPSTimer::FireDueEvents() {
    for (size_t index = 0; index < m_times.size(); ++index) {
        if (!IsDue(index)) continue;
        const TimerProps event = m_times[index];
        OnTimer(event, event.fTime - m_fTickCount);
        m_fLastFired = event.fTime;
    }
}

// ==== Render properties ====

SParticleSystemRenderProperties::SParticleSystemRenderProperties()
    : pSceneTex(nullptr),
      pStaticShadowMap(nullptr),
      pStaticShadowMatrix(nullptr),
      fShadowIntensity(0.0f),
      vAmbientLight(0.0f, 0.0f, 0.0f, 0.0f),
      eTechnique(PSRT_NORMAL) {}

// ==== Grouped allocation ====

namespace {

// A fill starts with blocks large enough that a block's tail and heap header
// are noise per particle, and doubles them up to the size of a huge page: a
// large pool is then walked in random order without a TLB miss per particle.
constexpr std::size_t kFirstGroupBlockBytes = 64 * 1024;
constexpr std::size_t kHugePageBytes = 2 * 1024 * 1024;

struct SGroupBlock {
    std::size_t used;     // bytes carved, counted from the block's start
    std::size_t objects;  // carved objects still alive
    std::size_t bytes;    // the block's size
};

constexpr std::size_t kGroupBlockHeader = 32;  // keeps the first object 16-byte aligned
static_assert(sizeof(SGroupBlock) <= kGroupBlockHeader, "block header fits its slot");

// The carving state: the blocks with live objects by address, the block being
// carved (null outside a fill or before its first object) and the bytes
// carved in this fill. Used by CGroupedAllocation only; made on first use and
// never destroyed, so objects made or freed by static objects find it.
struct SGroupState {
    std::vector<SGroupBlock*> blocks;
    SGroupBlock* pOpen = nullptr;
    bool bGrouping = false;
    std::size_t carved = 0;
    std::size_t nextBlockBytes = kFirstGroupBlockBytes;
    std::size_t heldBytes = 0;  // of all blocks
};
SGroupState& Group() {
    static SGroupState* const pState = new SGroupState();
    return *pState;
}

unsigned char* BlockBytes(SGroupBlock* pBlock) { return reinterpret_cast<unsigned char*>(pBlock); }

// The largest power of two dividing bytes, at most 16: sizeof is a multiple of
// alignof, so this aligns any object the plain operator new is asked for.
std::size_t AlignmentFor(std::size_t bytes) { return std::min<std::size_t>(16, bytes & (~bytes + 1)); }

// Blocks are mapped from the system, a huge-page block aligned to a huge
// page so that the kernel can back it with one: a wider mapping is trimmed to
// the aligned part.
void* MapBlock(std::size_t bytes) {
    const std::size_t alignment = bytes < kHugePageBytes ? 1 : kHugePageBytes;
    const std::size_t mapped = bytes + alignment - 1;
    void* pMapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapping == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(pMapping);
    const std::uintptr_t aligned = (start + alignment - 1) & ~(alignment - 1);
    if (aligned > start) munmap(pMapping, aligned - start);
    if (aligned + bytes < start + mapped) munmap(reinterpret_cast<void*>(aligned + bytes), start + mapped - aligned - bytes);
    void* pBlock = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    if (alignment > 1) madvise(pBlock, bytes, MADV_HUGEPAGE);  // only advice: small pages work too
#endif
    Group().heldBytes += bytes;
    return pBlock;
}

void ReleaseBlock(SGroupBlock* pBlock) {
    std::vector<SGroupBlock*>& blocks = Group().blocks;
    blocks.erase(std::lower_bound(blocks.begin(), blocks.end(), pBlock));
    Group().heldBytes -= pBlock->bytes;
    munmap(pBlock, pBlock->bytes);
}

// Nothing more is carved from a closed block: the pages past its last object
// go back to the system.
void TrimBlock(SGroupBlock* pBlock) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t kept = (pBlock->used + page - 1) / page * page;
    if (kept >= pBlock->bytes) return;
    munmap(BlockBytes(pBlock) + kept, pBlock->bytes - kept);
    Group().heldBytes -= pBlock->bytes - kept;
    pBlock->bytes = kept;
}

void CloseOpenBlock() {
    SGroupBlock* pBlock = Group().pOpen;
    Group().pOpen = nullptr;
    if (!pBlock) return;
    if (pBlock->objects == 0) return ReleaseBlock(pBlock);
    TrimBlock(pBlock);
}

SGroupBlock* OpenBlock() {
    CloseOpenBlock();
    std::vector<SGroupBlock*>& blocks = Group().blocks;
    blocks.reserve(blocks.size() + 1);  // so the insertion below cannot throw
    const std::size_t bytes = Group().nextBlockBytes;
    SGroupBlock* pBlock = new (MapBlock(bytes)) SGroupBlock{kGroupBlockHeader, 0, bytes};
    Group().nextBlockBytes = std::min(2 * bytes, kHugePageBytes);
    blocks.insert(std::upper_bound(blocks.begin(), blocks.end(), pBlock), pBlock);
    return Group().pOpen = pBlock;
}

// The block holding pObject, or null for a heap object.
SGroupBlock* BlockOf(void* pObject) {
    const std::vector<SGroupBlock*>& blocks = Group().blocks;
    auto after = std::upper_bound(blocks.begin(), blocks.end(), pObject,
                                  [](void* p, SGroupBlock* pBlock) { return p < static_cast<void*>(pBlock); });
    if (after == blocks.begin()) return nullptr;
    SGroupBlock* pBlock = *(after - 1);
    return static_cast<unsigned char*>(pObject) < BlockBytes(pBlock) + pBlock->bytes ? pBlock : nullptr;
}

void* Carve(std::size_t bytes) {
    const std::size_t alignment = AlignmentFor(bytes);
    SGroupBlock* pBlock = Group().pOpen;
    std::size_t offset = pBlock ? (pBlock->used + alignment - 1) & ~(alignment - 1) : 0;
    if (!pBlock || offset + bytes > pBlock->bytes) {
        pBlock = OpenBlock();
        offset = pBlock->used;
    }
    Group().carved += offset + bytes - pBlock->used;
    pBlock->used = offset + bytes;
    ++pBlock->objects;
    return BlockBytes(pBlock) + offset;
}

}  // namespace

detail::CGroupedAllocation::CGroupedAllocation() : m_bInCharge(!Group().bGrouping) {
    if (!m_bInCharge) return;
    Group().bGrouping = true;
    Group().carved = 0;
    Group().nextBlockBytes = kFirstGroupBlockBytes;
}

detail::CGroupedAllocation::~CGroupedAllocation() {
    if (!m_bInCharge) return;
    Group().bGrouping = false;
    CloseOpenBlock();
}

std::size_t detail::CGroupedAllocation::CarvedBytes() const { return m_bInCharge ? Group().carved : 0; }

void* detail::CGroupedAllocation::Allocate(std::size_t bytes) {
    if (!Group().bGrouping || bytes > kFirstGroupBlockBytes - kGroupBlockHeader) return ::operator new(bytes);
    return Carve(bytes);
}

std::size_t detail::CGroupedAllocation::HeldBytes() { return Group().heldBytes; }

void detail::CGroupedAllocation::Free(void* pObject) noexcept {
    SGroupBlock* pBlock = pObject ? BlockOf(pObject) : nullptr;
    if (!pBlock) return ::operator delete(pObject);
    if (--pBlock->objects == 0 && pBlock != Group().pOpen) ReleaseBlock(pBlock);
}

// ==== Parameter interfaces ====

namespace {

// Parameter sets destroyed in this process so far; read through
// detail::ParamsGeneration. Bumped by every set's destructor, so a particle
// can tell, without touching its set, that the set may be gone.
std::uint32_t g_paramsGeneration = 0;

}  // namespace

IParticleParamUpdater::~IParticleParamUpdater() = default;

IParticleSystemParams::~IParticleSystemParams() { ++g_paramsGeneration; }

std::uint32_t detail::ParamsGeneration() { return g_paramsGeneration; }

// ==== Particles ====

IParticle::IParticle(IParticleSystem* pSystem) : m_vPos(0.0f, 0.0f, 0.0f) { BindUpdater(pSystem); }

IParticle::~IParticle() { delete m_pUpdater; }

void IParticle::SetLive(IParticleSystem* pSystem, const D3DXVECTOR3& position) {
    m_vPos = position;
    if (!m_pUpdater || IsBindingStale()) BindUpdater(pSystem);
    if (m_pUpdater) m_pUpdater->Set(pSystem, this);
}

void IParticle::Render() const {}

// A stale updater may point into a freed set: the particle dies rather than
// run it. Its system re-binds live particles before they get here.
bool IParticle::Update(float dt) {
    if (IsBindingStale()) BindUpdater(nullptr);
    return m_pUpdater && m_pUpdater->Update(dt, this);
}

void IParticle::OnTimer(IPSTimer::TimerEnums type) {
    if (m_pUpdater) m_pUpdater->OnTimer(type);
}

void IParticle::BindUpdater(const IParticleSystem* pSystem) {
    delete m_pUpdater;
    m_pUpdater = nullptr;
    m_bindingGeneration = g_paramsGeneration;
    const IParticleSystemParams* pParams = pSystem ? pSystem->GetParticleParams() : nullptr;
    if (!pParams) return;
    m_pUpdater = pParams->CreateParticleParamUpdater();
    if (m_pUpdater) pParams->SetParticleParamUpdater(m_pUpdater);
}

bool IParticle::IsBindingStale() const { return m_bindingGeneration != g_paramsGeneration; }

// ==== Key values and interpolators ====

namespace {

template <typename T>
T ZeroValue() {
    T value;
    std::memset(&value, 0, sizeof value);
    return value;
}

bool ReadValueAttribute(const CMyXMLNode* pNode, const char* name, float& value) {
    return pNode->GetFloatAttribute(name, value);
}
bool ReadValueAttribute(const CMyXMLNode* pNode, const char* name, D3DXVECTOR2& value) {
    return pNode->GetVector2DAttribute(name, value);
}
bool ReadValueAttribute(const CMyXMLNode* pNode, const char* name, D3DXVECTOR3& value) {
    return pNode->GetVector3DAttribute(name, value);
}
bool ReadValueAttribute(const CMyXMLNode* pNode, const char* name, D3DXVECTOR4& value) {
    return pNode->GetVector4DAttribute(name, value);
}

// One "AddValue" child. A missing bound takes the other one, so a single
// "min" or "max" gives a fixed value; neither gives zero.
template <typename T>
KeyValueProps<T> ReadKeyValue(const CMyXMLNode* pNode) {
    KeyValueProps<T> entry{-1.0f, ZeroValue<T>(), ZeroValue<T>()};
    pNode->GetFloatAttribute("key", entry.key);
    const bool hasMin = ReadValueAttribute(pNode, "min", entry.min);
    const bool hasMax = ReadValueAttribute(pNode, "max", entry.max);
    if (!hasMin) entry.min = entry.max;
    if (!hasMax) entry.max = entry.min;
    return entry;
}

template <typename Entry>
bool KeyLess(const Entry& a, const Entry& b) {
    return a.key < b.key;
}

}  // namespace

IKeyValues::~IKeyValues() = default;

bool IKeyValues::GetLoop(float& loopTime) const {
    loopTime = m_loopTime;
    return m_loop;
}

void IKeyValues::SetLoop(bool loop, float loopTime) {
    m_loop = loop;
    m_loopTime = loopTime;
}

void IKeyValues::Load(const CMyXMLNode* pNode) {
    pNode->GetBoolAttribute("Loop", m_loop);
    pNode->GetFloatAttribute("LoopTime", m_loopTime);
}

void IKeyValues::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("Loop", m_loop);
    pNode->SetAttribute("LoopTime", m_loopTime);
}

void IKeyValues::Copy(CArchive& ar) const { ar << m_loop << m_loopTime; }

void IKeyValues::Paste(CArchive& ar) { ar >> m_loop >> m_loopTime; }

template <typename T>
IInterpolator<T>::~IInterpolator() = default;

template <typename T>
bool IInterpolator<T>::GetValue(float time, T& out, bool advance) {
    return LookUp(time, out, advance, [this](const T& a, const T& b, float t) { return Interpolate(a, b, t); });
}

template <typename T>
void IInterpolator<T>::AddValue(float key, const T& value) {
    for (InterpolatorProps<T>& entry : m_values) {
        if (entry.key != key) continue;
        entry.value = value;
        return;
    }
    m_values.PushBack(InterpolatorProps<T>{key, value});
}

// The overshoot past the last key is dropped, not carried into the next pass.
template <typename T>
float IInterpolator<T>::AdvanceClock(float step) {
    m_time += step;
    float loopTime = 0.0f;
    const bool loop = m_owner && m_owner->GetLoop(loopTime);
    if (loop && loopTime < m_time && m_time >= m_values[m_values.size() - 1].key) m_time = loopTime;
    return m_time;
}

template <typename T>
void CKeyValues<T>::LoadValues(const CMyXMLNode* pNode) {
    IKeyValues::Load(pNode);
    for (const CMyXMLNode* pChild : pNode->GetChildrens())
        if (pChild->GetName() == "AddValue") m_values.push_back(ReadKeyValue<T>(pChild));
    std::stable_sort(m_values.begin(), m_values.end(), KeyLess<KeyValueProps<T>>);
}

template <typename T>
void CKeyValues<T>::SaveValues(CMyXMLNode* pParent, CString name) const {
    if (m_values.empty()) return;
    CMyXMLNode* pList = pParent->AddChildren(name);
    IKeyValues::Save(pList);
    for (const KeyValueProps<T>& entry : m_values) {
        CMyXMLNode* pEntry = pList->AddChildren("AddValue");
        pEntry->SetAttribute("key", entry.key);
        pEntry->SetAttribute("min", entry.min);
        pEntry->SetAttribute("max", entry.max);
    }
}

template <typename T>
void CKeyValues<T>::Copy(CArchive& ar) const {
    IKeyValues::Copy(ar);
    ar << static_cast<int>(m_values.size());
    for (const KeyValueProps<T>& entry : m_values) ar << entry.key << entry.min << entry.max;
}

// Entries are read one by one, so a forged count costs no more than the
// bytes really there before the archive runs out.
template <typename T>
void CKeyValues<T>::Paste(CArchive& ar) {
    IKeyValues::Paste(ar);
    int count = 0;
    ar >> count;
    for (int index = 0; index < count; ++index) {
        KeyValueProps<T> entry;
        ar >> entry.key >> entry.min >> entry.max;
        m_values.push_back(entry);
    }
}

template <typename T>
void CKeyValues<T>::SetInterpolator(IInterpolator<T>* pInterpolator) const {
    for (const KeyValueProps<T>& entry : m_values)
        pInterpolator->AddValue(entry.key, Calc<T>::GetRandomValue(entry.min, entry.max));
}

template <typename T>
void CKeyValues<T>::AddValue(float key, const T& min, const T& max) {
    const KeyValueProps<T> entry{key, min, max};
    m_values.insert(std::upper_bound(m_values.begin(), m_values.end(), entry, KeyLess<KeyValueProps<T>>), entry);
}

template class IInterpolator<float>;
template class IInterpolator<D3DXVECTOR2>;
template class IInterpolator<D3DXVECTOR3>;
template class IInterpolator<D3DXVECTOR4>;
template class CLinearInterpolator<float>;
template class CLinearInterpolator<D3DXVECTOR2>;
template class CLinearInterpolator<D3DXVECTOR3>;
template class CLinearInterpolator<D3DXVECTOR4>;
template class CKeyValues<float>;
template class CKeyValues<D3DXVECTOR2>;
template class CKeyValues<D3DXVECTOR3>;
template class CKeyValues<D3DXVECTOR4>;

namespace {

const PositterProps kAbsentPositter{-1.0f, CString()};

}  // namespace

CPositterKeyValues::CPositterKeyValues(CEmitterManager* pEmitterManager) : m_emitterManager(pEmitterManager) {}

bool CPositterKeyValues::AddValue(float key, CString name) {
    const size_t before = m_values.size();
    m_values.erase(std::remove_if(m_values.begin(), m_values.end(),
                                  [key](const PositterProps& entry) { return entry.key == key; }),
                   m_values.end());
    const bool isNew = m_values.size() == before;
    m_values.push_back(PositterProps{key, name});
    std::stable_sort(m_values.begin(), m_values.end(), SortPositterValuesByKeys);
    return isNew;
}

void CPositterKeyValues::RemoveValue(float key) {
    auto found = std::find_if(m_values.begin(), m_values.end(),
                              [key](const PositterProps& entry) { return entry.key == key; });
    if (found != m_values.end()) m_values.erase(found);
}

PositterProps CPositterKeyValues::GetValue(float key) const {
    auto found = std::find_if(m_values.begin(), m_values.end(),
                              [key](const PositterProps& entry) { return entry.key == key; });
    return found == m_values.end() ? kAbsentPositter : *found;
}

PositterProps CPositterKeyValues::GetValue(unsigned int index) const {
    return index < m_values.size() ? m_values[index] : kAbsentPositter;
}

void CPositterKeyValues::LoadValues(const CMyXMLNode* pNode) {
    IKeyValues::Load(pNode);
    for (const CMyXMLNode* pChild : pNode->GetChildrens()) {
        if (pChild->GetName() != "AddValue") continue;
        PositterProps entry{-1.0f, CString()};
        pChild->GetFloatAttribute("key", entry.key);
        pChild->GetAttribute("collector", entry.name);
        m_values.push_back(entry);
    }
    std::stable_sort(m_values.begin(), m_values.end(), SortPositterValuesByKeys);
}

void CPositterKeyValues::SaveValues(CMyXMLNode* pParent) const {
    if (m_values.empty() || !m_emitterManager) return;
    CMyXMLNode* pList = pParent->AddChildren("CollectorKeyValues");
    IKeyValues::Save(pList);
    for (const PositterProps& entry : m_values) {
        CMyXMLNode* pEntry = pList->AddChildren("AddValue");
        pEntry->SetAttribute("key", entry.key);
        pEntry->SetAttribute("collector", entry.name);
    }
}

void CPositterKeyValues::SetInterpolator(IInterpolator<D3DXVECTOR3>* pInterpolator, IParticle* pParticle) const {
    pInterpolator->AddValue(0.0f, pParticle->GetPos());
    if (!m_emitterManager) return;
    for (const PositterProps& entry : m_values)
        if (const IEmitter* pEmitter = m_emitterManager->Get(entry.name))
            pInterpolator->AddValue(entry.key, pEmitter->GetEmitPoint());
}

bool CPositterKeyValues::SortPositterValuesByKeys(const PositterProps& a, const PositterProps& b) {
    return a.key < b.key;
}

// ==== Standard parameters ====

namespace {

const SNamedValue<EternalEnums> kEternalNames[] = {
    {"NULL", ETERNAL_NULL},
    {"END", ETERNAL_END},
    {"PAUSE", ETERNAL_PAUSE},
};

const SNamedValue<EParticleSystemBased> kBasedNames[] = {
    {"FORCE_BASED", PSB_FORCE_BASED},
    {"AROUND_POINT_BASED", PSB_AROUND_POINT_BASED},
    {"AROUND_AXIS_BASED", PSB_AROUND_AXIS_BASED},
};

bool IsOrbiting(EParticleSystemBased based) {
    return based == PSB_AROUND_POINT_BASED || based == PSB_AROUND_AXIS_BASED;
}

// An empty interpolator for a non-empty list, with room for all its keys so
// that births never allocate; null for an empty list.
template <typename T>
CLinearInterpolator<T>* MakeInterpolator(const CKeyValues<T>& list) {
    if (list.GetCount() == 0) return nullptr;
    CLinearInterpolator<T>* pInterpolator = new CLinearInterpolator<T>(&list);
    pInterpolator->ReserveKeys(list.GetCount());
    return pInterpolator;
}

}  // namespace

CStandardParticleSystemParams::CStandardParticleSystemParams(float minLifeTime, float maxLifeTime,
                                                             PSParamsType type)
    : IParticleSystemParams(type),
      m_fMinLifeTime(minLifeTime),
      m_fMaxLifeTime(maxLifeTime),
      m_positterKeyValues(nullptr) {
    D3DXMatrixIdentity(&m_rotationMatrix);
}

CStandardParticleSystemParams::CStandardParticleSystemParams(CEmitterManager* pEmitterManager,
                                                             const CMyXMLNode* pNode, PSParamsType type)
    : CStandardParticleSystemParams(0.0f, 0.0f, type) {
    m_positterKeyValues = CPositterKeyValues(pEmitterManager);
    ReadAttributes(pNode);
    ReadLists(pNode);
    ReadOrbit(pNode);
}

CStandardParticleSystemParams::CStandardParticleSystemParams(float minLifeTime, float maxLifeTime,
                                                             PSParamsType type, CArchive& ar)
    : CStandardParticleSystemParams(minLifeTime, maxLifeTime, type) {
    ar >> m_fMinLifeTime >> m_fMaxLifeTime >> m_eEternal >> m_eBased;
    ar >> m_vAroundPoint >> m_vAroundAxis >> m_fRadius >> m_fOrbitalVelocity;
    ar >> static_cast<D3DXMATRIX&>(m_rotationMatrix);
    m_textureKeyValues.Paste(ar);
    m_colorKeyValues.Paste(ar);
    m_rotationKeyValues.Paste(ar);
    m_forceDirKeyValues.Paste(ar);
    m_forceKeyValues.Paste(ar);
    m_velocityDirKeyValues.Paste(ar);
    m_velocityKeyValues.Paste(ar);
}

IParticleParamUpdater* CStandardParticleSystemParams::CreateParticleParamUpdater() const {
    return new CStandardParticleParamUpdater();
}

// A collector set moves its particles along the path only, so they get no
// movement curves.
void CStandardParticleSystemParams::SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const {
    CStandardParticleParamUpdater* pStandard = dynamic_cast<CStandardParticleParamUpdater*>(pUpdater);
    if (!pStandard) return;
    pStandard->SetEternal(m_eEternal);
    pStandard->SetTextureInterpolator(MakeInterpolator(m_textureKeyValues));
    pStandard->SetColorInterpolator(MakeInterpolator(m_colorKeyValues));
    if (m_positterKeyValues.GetCount() == 0) return GiveMovementInterpolators(pStandard);
    CLinearInterpolator<D3DXVECTOR3>* pPath = new CLinearInterpolator<D3DXVECTOR3>(&m_positterKeyValues);
    pPath->ReserveKeys(m_positterKeyValues.GetCount() + 1);
    pStandard->SetPosInterpolator(pPath);
}

// The float curves first: their size is a multiple of 16 and the vector
// curves' is not, so in this order a pool carves them without alignment gaps.
void CStandardParticleSystemParams::GiveMovementInterpolators(CStandardParticleParamUpdater* pUpdater) const {
    pUpdater->SetForceInterpolator(MakeInterpolator(m_forceKeyValues));
    pUpdater->SetVelocityInterpolator(MakeInterpolator(m_velocityKeyValues));
    pUpdater->SetForceDirInterpolator(MakeInterpolator(m_forceDirKeyValues));
    pUpdater->SetVelocityDirInterpolator(MakeInterpolator(m_velocityDirKeyValues));
    pUpdater->SetRotationInterpolator(MakeInterpolator(m_rotationKeyValues));
}

void CStandardParticleSystemParams::Save(CMyXMLNode* pNode) const {
    pNode->SetAttribute("type", "STANDARD");
    pNode->SetAttribute("lifeTime", D3DXVECTOR2(m_fMinLifeTime, m_fMaxLifeTime));
    if (const char* eternal = FindValueName(kEternalNames, m_eEternal)) pNode->SetAttribute("eternal", eternal);
    if (const char* based = FindValueName(kBasedNames, m_eBased)) pNode->SetAttribute("particleSystemBased", based);
    SaveLists(pNode);
    pNode->SetAttribute("aroundPoint", m_vAroundPoint);
    pNode->SetAttribute("aroundAxis", m_vAroundAxis);
    pNode->SetAttribute("aroundRadius", m_fRadius);
    pNode->SetAttribute("orbitalVelocity", m_fOrbitalVelocity);
}

void CStandardParticleSystemParams::SaveLists(CMyXMLNode* pNode) const {
    m_textureKeyValues.SaveValues(pNode, "TextureKeyValues");
    m_colorKeyValues.SaveValues(pNode, "ColorKeyValues");
    m_rotationKeyValues.SaveValues(pNode, "RotationKeyValues");
    m_forceDirKeyValues.SaveValues(pNode, "ForceDirKeyValues");
    m_forceKeyValues.SaveValues(pNode, "ForceKeyValues");
    m_velocityDirKeyValues.SaveValues(pNode, "VelocityDirKeyValues");
    m_velocityKeyValues.SaveValues(pNode, "VelocityKeyValues");
    m_positterKeyValues.SaveValues(pNode);
}

void CStandardParticleSystemParams::Copy(CArchive& ar) const {
    ar << m_fMinLifeTime << m_fMaxLifeTime << m_eEternal << m_eBased;
    ar << m_vAroundPoint << m_vAroundAxis << m_fRadius << m_fOrbitalVelocity;
    ar << static_cast<const D3DXMATRIX&>(m_rotationMatrix);
    m_textureKeyValues.Copy(ar);
    m_colorKeyValues.Copy(ar);
    m_rotationKeyValues.Copy(ar);
    m_forceDirKeyValues.Copy(ar);
    m_forceKeyValues.Copy(ar);
    m_velocityDirKeyValues.Copy(ar);
    m_velocityKeyValues.Copy(ar);
}

float CStandardParticleSystemParams::GetLifeTime() const {
    return Calc<float>::GetRandomValue(m_fMinLifeTime, m_fMaxLifeTime);
}

void CStandardParticleSystemParams::RefreshRotationMatrix(float dt) {
    D3DXMATRIX toOrigin, turn, back;
    D3DXMatrixTranslation(&toOrigin, -m_vAroundPoint.x, -m_vAroundPoint.y, -m_vAroundPoint.z);
    D3DXMatrixRotationAxis(&turn, &m_vAroundAxis, dt * m_fOrbitalVelocity);
    D3DXMatrixTranslation(&back, m_vAroundPoint.x, m_vAroundPoint.y, m_vAroundPoint.z);
    m_rotationMatrix = toOrigin * turn * back;
}

void CStandardParticleSystemParams::SetAroundAxis(const D3DXVECTOR3& axis) {
    if (axis == D3DXVECTOR3(0.0f, 0.0f, 0.0f)) return;
    D3DXVec3Normalize(&m_vAroundAxis, &axis);
}

void CStandardParticleSystemParams::ReadAttributes(const CMyXMLNode* pNode) {
    D3DXVECTOR2 lifeTime(0.0f, 0.0f);
    if (pNode->GetVector2DAttribute("lifeTime", lifeTime)) {
        m_fMinLifeTime = lifeTime.x;
        m_fMaxLifeTime = lifeTime.y;
    }
    CString keyword;
    if (pNode->GetAttribute("eternal", keyword)) FindNamedValue(kEternalNames, keyword, m_eEternal);
    if (pNode->GetAttribute("particleSystemBased", keyword)) FindNamedValue(kBasedNames, keyword, m_eBased);
}

void CStandardParticleSystemParams::ReadLists(const CMyXMLNode* pNode) {
    for (const CMyXMLNode* pChild : pNode->GetChildrens()) {
        const CString name = pChild->GetName();
        if (name == "TextureKeyValues") m_textureKeyValues.LoadValues(pChild);
        else if (name == "ColorKeyValues") m_colorKeyValues.LoadValues(pChild);
        else if (name == "RotationKeyValues") m_rotationKeyValues.LoadValues(pChild);
        else if (name == "ForceDirKeyValues") m_forceDirKeyValues.LoadValues(pChild);
        else if (name == "ForceKeyValues") m_forceKeyValues.LoadValues(pChild);
        else if (name == "VelocityDirKeyValues") m_velocityDirKeyValues.LoadValues(pChild);
        else if (name == "VelocityKeyValues") m_velocityKeyValues.LoadValues(pChild);
        else if (name == "CollectorKeyValues") m_positterKeyValues.LoadValues(pChild);
    }
}

void CStandardParticleSystemParams::ReadOrbit(const CMyXMLNode* pNode) {
    pNode->GetVector3DAttribute("aroundPoint", m_vAroundPoint);
    pNode->GetVector3DAttribute("aroundAxis", m_vAroundAxis);
    pNode->GetFloatAttribute("aroundRadius", m_fRadius);
    pNode->GetFloatAttribute("orbitalVelocity", m_fOrbitalVelocity);
}

// ==== Standard parameter updater ====

namespace {

// Colour channel: value * 255 truncated toward zero, low byte kept, so values
// above 1.0 wrap. Non-finite values give 0 (the conversion would be undefined).
DWORD ColorChannel(float value) {
    const float scaled = value * 255.0f;
    if (std::fabs(scaled) < 2147483520.0f) return static_cast<DWORD>(static_cast<std::int32_t>(scaled)) & 0xFFu;
    if (!std::isfinite(scaled)) return 0;
    return static_cast<DWORD>(static_cast<std::int32_t>(std::fmod(scaled, 256.0f))) & 0xFFu;
}

DWORD PackColor(const D3DXVECTOR4& color) {
    return ColorChannel(color.w) << 24 | ColorChannel(color.x) << 16 | ColorChannel(color.y) << 8 |
           ColorChannel(color.z);
}

// The list's interpolator gets this birth's values, when the updater holds one.
template <typename T>
void Fill(const CKeyValues<T>* pList, IInterpolator<T>* pInterpolator) {
    if (pInterpolator) pList->SetInterpolator(pInterpolator);
}

template <typename T>
T ReadCurve(IInterpolator<T>* pInterpolator, T value, float time, bool advance) {
    if (pInterpolator) detail::ReadInterpolator(pInterpolator, time, value, advance);
    return value;
}

D3DXVECTOR3 ReadDirection(IInterpolator<D3DXVECTOR3>* pInterpolator, float time, bool advance) {
    D3DXVECTOR3 direction = ReadCurve(pInterpolator, D3DXVECTOR3(0.0f, 0.0f, 0.0f), time, advance);
    if (pInterpolator) D3DXVec3Normalize(&direction, &direction);
    return direction;
}

}  // namespace

CStandardParticleParamUpdater::~CStandardParticleParamUpdater() {
    delete m_pTextureInterpolator;
    delete m_pColorInterpolator;
    delete m_pRotationInterpolator;
    delete m_pForceDirInterpolator;
    delete m_pForceInterpolator;
    delete m_pVelocityDirInterpolator;
    delete m_pVelocityInterpolator;
    delete m_pPosInterpolator;
}

// The timer state is kept from the previous life: an event seen before a
// birth still decides the eternal particle's end.
void CStandardParticleParamUpdater::Set(const IParticleSystem* pSystem, IParticle* pParticle) {
    const CStandardParticleSystemParams* pParams = pSystem->GetStandardParticleParams();
    if (!pParams) return;
    m_pParams = pParams;
    m_fLifeTime = pParams->GetLifeTime();
    m_fAge = 0.0f;
    m_eEternal = pParams->GetEternal();
    m_fForceSpeed = 0.0f;
    FillInterpolators(pSystem, pParticle);
}

void CStandardParticleParamUpdater::FillInterpolators(const IParticleSystem* pSystem, IParticle* pParticle) {
    Fill(m_pParams->GetTextureKeyValues(), m_pTextureInterpolator);
    Fill(m_pParams->GetColorKeyValues(), m_pColorInterpolator);
    Fill(m_pParams->GetRotationKeyValues(), m_pRotationInterpolator);
    Fill(m_pParams->GetForceDirKeyValues(), m_pForceDirInterpolator);
    Fill(m_pParams->GetVelocityDirKeyValues(), m_pVelocityDirInterpolator);
    if (m_pVelocityDirInterpolator)
        if (const IEmitter* pEmitter = pSystem->GetEmitter()) TurnVelocityDirections(pEmitter);
    Fill(m_pParams->GetForceKeyValues(), m_pForceInterpolator);
    Fill(m_pParams->GetVelocityKeyValues(), m_pVelocityInterpolator);
    if (m_pPosInterpolator) m_pParams->GetPositterKeyValues()->SetInterpolator(m_pPosInterpolator, pParticle);
}

// Velocity directions are given in the emitter's frame and turn with it.
void CStandardParticleParamUpdater::TurnVelocityDirections(const IEmitter* pEmitter) {
    D3DXMATRIX turn = pEmitter->GetRotationMatrix();
    turn._41 = turn._42 = turn._43 = 0.0f;
    turn._44 = 1.0f;
    m_pVelocityDirInterpolator->ForEachValue(
        [&turn](D3DXVECTOR3& direction) { D3DXVec3TransformCoord(&direction, &direction, &turn); });
}

bool CStandardParticleParamUpdater::Update(float dt, IParticle* pParticle) {
    m_fAge += dt;
    SLookup lookup;
    if (!DecideLife(dt, lookup)) return false;
    ApplyTextureAndColor(lookup, pParticle);
    if (m_pPosInterpolator) {
        pParticle->SetPos(ReadCurve(m_pPosInterpolator, D3DXVECTOR3(0.0f, 0.0f, 0.0f), lookup.time, lookup.advance));
        return true;
    }
    if (!m_pParams) return true;
    const EParticleSystemBased based = m_pParams->GetParticleSystemBased();
    if (based == PSB_FORCE_BASED) MoveByForce(dt, lookup, pParticle);
    if (IsOrbiting(based)) {
        D3DXVECTOR3 position;
        D3DXVec3TransformCoord(&position, &pParticle->GetPos(), m_pParams->GetRotationMatrix());
        pParticle->SetPos(position);
    }
    return true;
}

// Mortal curves are read at the fraction of life lived; eternal ones run
// their own looping clocks until the deciding event.
bool CStandardParticleParamUpdater::DecideLife(float dt, SLookup& lookup) const {
    const bool lifeUsed = !(m_fAge < m_fLifeTime);
    switch (m_eEternal) {
        case ETERNAL_NULL:
            lookup = SLookup{lifeUsed ? 1.0f : m_fAge / m_fLifeTime, false};
            return !lifeUsed;
        case ETERNAL_END:
            lookup = SLookup{dt, true};
            return !(m_eTimerState == IPSTimer::TIMER_END && lifeUsed);
        case ETERNAL_PAUSE:
            lookup = SLookup{dt, true};
            return !(m_eTimerState != IPSTimer::TIMER_START && lifeUsed);
    }
    lookup = SLookup{0.0f, false};
    return true;
}

void CStandardParticleParamUpdater::ApplyTextureAndColor(const SLookup& lookup, IParticle* pParticle) {
    if (m_pTextureInterpolator)
        pParticle->SetTextureFrame(ReadCurve(m_pTextureInterpolator, 0.0f, lookup.time, lookup.advance));
    if (m_pColorInterpolator) {
        const D3DXVECTOR4 white(1.0f, 1.0f, 1.0f, 1.0f);
        pParticle->SetColor(PackColor(ReadCurve(m_pColorInterpolator, white, lookup.time, lookup.advance)));
    }
}

// Velocity moves the particle directly; the force builds up a speed along
// each frame's force direction that never decays.
void CStandardParticleParamUpdater::MoveByForce(float dt, const SLookup& lookup, IParticle* pParticle) {
    const D3DXVECTOR3 direction = ReadDirection(m_pVelocityDirInterpolator, lookup.time, lookup.advance);
    const float speed = ReadCurve(m_pVelocityInterpolator, 0.0f, lookup.time, lookup.advance);
    D3DXVECTOR3 position = pParticle->GetPos() + direction * (speed * dt);
    const D3DXVECTOR3 forceDirection = ReadDirection(m_pForceDirInterpolator, lookup.time, lookup.advance);
    const float force = ReadCurve(m_pForceInterpolator, 0.0f, lookup.time, lookup.advance);
    m_fForceSpeed += force * dt;
    position += forceDirection * (m_fForceSpeed * dt);
    pParticle->SetPos(position);
}

void CStandardParticleParamUpdater::OnTimer(IPSTimer::TimerEnums type) {
    if (m_eEternal != ETERNAL_NULL) m_fAge = 0.0f;
    if (m_eTimerState == IPSTimer::TIMER_START) m_eTimerState = type;
}

// ==== Particle containers ====

namespace {

IParticle* MakeParticle(IParticleSystem* pSystem) { return pSystem ? pSystem->CreateParticle() : nullptr; }

// The particle object's own bytes within its carved group: its constructor
// makes the updater, which is carved right after it.
std::size_t ParticleSpan(const IParticle* pParticle, std::size_t groupBytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(pParticle);
    const auto updater = reinterpret_cast<std::uintptr_t>(pParticle->GetParamUpdater());
    return updater > start && updater - start < groupBytes ? updater - start : groupBytes;
}

// The manager's camera in the system's own space; a singular system matrix
// leaves the camera where it is.
D3DXVECTOR3 CameraInSystemSpace(const IParticleSystem* pSystem) {
    const D3DXVECTOR3 camera = pSystem->GetManager()->GetCameraPos();
    const D3DXMATRIX matrix = pSystem->GetMatrix();
    D3DXMATRIX inverse;
    D3DXMatrixIdentity(&inverse);
    D3DXMatrixInverse(&inverse, nullptr, &matrix);
    D3DXVECTOR3 local;
    D3DXVec3TransformCoord(&local, &camera, &inverse);
    return local;
}

}  // namespace

IParticleContainer::~IParticleContainer() = default;

void IParticleContainer::Init(IParticleSystem* pSystem, unsigned int) {
    m_pParticleSystem = pSystem;
    Clear();
}

void IParticleContainer::OnTimer(IPSTimer::TimerEnums type) {
    for (IParticle* pParticle = First(); pParticle; pParticle = Next()) pParticle->OnTimer(type);
}

IParticle* detail::CLiveList::First() {
    Compact();
    m_write = m_cursor = 0;
    return Current();
}

IParticle* detail::CLiveList::Next() {
    if (m_cursor >= m_entries.size()) return nullptr;
    PrefetchAhead();
    m_entries[m_write++] = m_entries[m_cursor++];
    if (m_cursor >= m_entries.size()) FinishWalkAtEnd();
    return Current();
}

IParticle* detail::CLiveList::TakeCurrent() {
    if (m_cursor >= m_entries.size()) return nullptr;
    IParticle* pTaken = m_entries[m_cursor++];
    if (m_cursor >= m_entries.size()) FinishWalkAtEnd();
    return pTaken;
}

// Into the hole just behind the cursor when there is one, else by shifting;
// indices, not iterators, so growing the storage keeps the cursor valid.
void detail::CLiveList::InsertBeforeCurrent(IParticle* pParticle) {
    if (m_write < m_cursor) {
        m_entries[--m_cursor] = pParticle;
        return;
    }
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(m_cursor), pParticle);
}

void detail::CLiveList::PushBack(IParticle* pParticle) {
    Compact();
    m_entries.push_back(pParticle);
    m_write = m_cursor = m_entries.size();
}

void detail::CLiveList::Compact() {
    if (m_write == m_cursor) return;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(m_write),
                    m_entries.begin() + static_cast<std::ptrdiff_t>(m_cursor));
    m_cursor = m_write;
}

std::vector<IParticle*>& detail::CLiveList::Entries() {
    Compact();
    return m_entries;
}

void detail::CLiveList::DeleteFrom(unsigned first) {
    Compact();
    if (first >= m_entries.size()) return;
    for (size_t index = first; index < m_entries.size(); ++index) delete m_entries[index];
    m_entries.resize(first);
    m_write = m_cursor = std::min(m_cursor, m_entries.size());
}

// A walk visits particles in birth order, which is scattered in memory once
// deaths have shuffled the pool: asking for a later particle's span now hides
// the wait for it behind the work on the ones in between.
void detail::CLiveList::PrefetchAhead() const {
    const size_t ahead = m_cursor + kPrefetchDistance;
    if (ahead >= m_entries.size()) return;
    // Every line the particle's pieces touch, including a partial last one.
    const auto start = reinterpret_cast<std::uintptr_t>(m_entries[ahead]);
    const std::uintptr_t end = start + (m_bWholeGroups ? m_groupBytes : m_particleBytes);
    for (std::uintptr_t line = start & ~(kCacheLineBytes - 1); line < end; line += kCacheLineBytes)
        __builtin_prefetch(reinterpret_cast<const void*>(line));
}

// The holes are all that is left behind the cursor: drop them in one go.
void detail::CLiveList::FinishWalkAtEnd() {
    m_entries.resize(m_write);
    m_cursor = m_write;
}

void detail::CSpareRing::SetCapacity(unsigned capacity) {
    std::vector<IParticle*> slots(std::max(capacity, m_count));
    for (unsigned index = 0; index < m_count; ++index) slots[index] = m_slots[Slot(index)];
    m_slots.swap(slots);
    m_head = 0;
}

IParticle* detail::CSpareRing::TakeFront() {
    if (m_count == 0) return nullptr;
    IParticle* pFront = m_slots[m_head];
    m_head = Slot(1);
    --m_count;
    return pFront;
}

IParticle* detail::CSpareRing::TakeBack() {
    if (m_count == 0) return nullptr;
    return m_slots[Slot(--m_count)];
}

void detail::CSpareRing::PushBack(IParticle* pParticle) {
    if (m_count == m_slots.size()) SetCapacity(m_count + 1);
    m_slots[Slot(m_count++)] = pParticle;
}

void detail::CSpareRing::DeleteFrom(unsigned first) {
    while (m_count > first) delete TakeBack();
}

// Each distance once, not twice per comparison; a NaN position sorts as
// nearest so that the order stays strict.
void detail::CDepthSorter::Sort(std::vector<IParticle*>& particles, const IParticleSystem* pSystem) {
    if (!pSystem || particles.size() < 2) return;
    const D3DXVECTOR3 camera = CameraInSystemSpace(pSystem);
    m_keyed.clear();
    for (IParticle* pParticle : particles) {
        const D3DXVECTOR3 offset = pParticle->GetPos() - camera;
        const float distance = D3DXVec3Length(&offset);
        m_keyed.emplace_back(std::isnan(distance) ? -1.0f : distance, pParticle);
    }
    std::sort(m_keyed.begin(), m_keyed.end(),
              [](const std::pair<float, IParticle*>& a, const std::pair<float, IParticle*>& b) {
                  return a.first > b.first;
              });
    for (size_t index = 0; index < particles.size(); ++index) particles[index] = m_keyed[index].second;
}

CSimpleParticleContainer::CSimpleParticleContainer() : IParticleContainer(PCT_SIMPLE) {}

CSimpleParticleContainer::~CSimpleParticleContainer() { m_live.DeleteFrom(0); }

unsigned int CSimpleParticleContainer::GetActiveParticle() { return m_live.Count(); }

IParticle* CSimpleParticleContainer::InsertBeforeCurrent() {
    IParticle* pParticle = MakeParticle(m_pParticleSystem);
    if (pParticle) m_live.InsertBeforeCurrent(pParticle);
    return pParticle;
}

IParticle* CSimpleParticleContainer::Push() {
    IParticle* pParticle = MakeParticle(m_pParticleSystem);
    if (pParticle) m_live.PushBack(pParticle);
    return pParticle;
}

IParticle* CSimpleParticleContainer::PopCurrent() {
    delete m_live.TakeCurrent();
    return m_live.Current();
}

IParticle* CSimpleParticleContainer::First() { return m_live.First(); }

IParticle* CSimpleParticleContainer::Next() { return m_live.Next(); }

IParticle* CSimpleParticleContainer::Current() { return m_live.Current(); }

void CSimpleParticleContainer::Sort() { m_sorter.Sort(m_live.Entries(), m_pParticleSystem); }

void CSimpleParticleContainer::Resize(unsigned int capacity) { m_live.DeleteFrom(capacity); }

void CSimpleParticleContainer::Clear() { m_live.DeleteFrom(0); }

CString CSimpleParticleContainer::GetTypeName() const { return "SIMPLE"; }

CPoolParticleContainer::CPoolParticleContainer() : IParticleContainer(PCT_POOL) {}

CPoolParticleContainer::~CPoolParticleContainer() { Clear(); }

void CPoolParticleContainer::Init(IParticleSystem* pSystem, unsigned int capacity) {
    IParticleContainer::Init(pSystem, capacity);
    Grow(capacity);
}

unsigned int CPoolParticleContainer::GetActiveParticle() { return m_live.Count(); }

IParticle* CPoolParticleContainer::InsertBeforeCurrent() {
    IParticle* pParticle = m_spares.TakeBack();
    if (pParticle) m_live.InsertBeforeCurrent(pParticle);
    return pParticle;
}

IParticle* CPoolParticleContainer::Push() {
    IParticle* pParticle = m_spares.TakeFront();
    if (pParticle) m_live.PushBack(pParticle);
    return pParticle;
}

IParticle* CPoolParticleContainer::PopCurrent() {
    if (IParticle* pRetired = m_live.TakeCurrent()) m_spares.PushBack(pRetired);
    return m_live.Current();
}

IParticle* CPoolParticleContainer::First() { return m_live.First(); }

IParticle* CPoolParticleContainer::Next() { return m_live.Next(); }

IParticle* CPoolParticleContainer::Current() { return m_live.Current(); }

void CPoolParticleContainer::Sort() { m_sorter.Sort(m_live.Entries(), m_pParticleSystem); }

void CPoolParticleContainer::Resize(unsigned int capacity) {
    if (capacity < m_live.Count() + m_spares.Count()) Shrink(capacity);
    else Grow(capacity);
}

void CPoolParticleContainer::Clear() {
    m_live.DeleteFrom(0);
    m_spares.DeleteFrom(0);
}

CString CPoolParticleContainer::GetTypeName() const { return "POOL"; }

// The list is live particles then spares: cut it at capacity.
void CPoolParticleContainer::Shrink(unsigned int capacity) {
    const unsigned int live = m_live.Count();
    m_live.DeleteFrom(capacity);
    m_spares.DeleteFrom(capacity > live ? capacity - live : 0);
    m_spares.SetCapacity(capacity);
}

// Room first, so that births and deaths never reallocate. Each particle's
// pieces are carved side by side; the span of one is what a walk prefetches.
void CPoolParticleContainer::Grow(unsigned int capacity) {
    m_live.Reserve(capacity);
    m_spares.SetCapacity(capacity);
    detail::CGroupedAllocation grouped;
    while (m_live.Count() + m_spares.Count() < capacity) {
        const std::size_t carvedBefore = grouped.CarvedBytes();
        IParticle* pParticle = MakeParticle(m_pParticleSystem);
        if (!pParticle) return;
        const std::size_t groupBytes = grouped.CarvedBytes() - carvedBefore;
        m_live.WidenPrefetch(ParticleSpan(pParticle, groupBytes), groupBytes);
        m_spares.PushBack(pParticle);
    }
}

// ==== Particle system interface ====

namespace {

const UINT kVertexBytes = 12;                  // D3DFVF_XYZ
const UINT kAxisVertices = 2;                  // one line
const UINT kAroundVertices = 36;               // eighteen lines round the point
const float kTwoPi = 6.28318530718f;

const SNamedValue<DWORD> kBlendNames[] = {
    {"ZERO", D3DBLEND_ZERO},
    {"ONE", D3DBLEND_ONE},
    {"SRCCOLOR", D3DBLEND_SRCCOLOR},
    {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
    {"SRCALPHA", D3DBLEND_SRCALPHA},
    {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
    {"DESTALPHA", D3DBLEND_DESTALPHA},
    {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
    {"DESTCOLOR", D3DBLEND_DESTCOLOR},
    {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
    {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
    {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
    {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
    {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
    {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
};
static_assert(sizeof kBlendNames / sizeof kBlendNames[0] == 15, "one row per D3DBLEND factor from 1 to 15");

// The around axis and point are drawn in opaque blue.
const D3DCOLOR kAroundColor = 0xFF0000FF;

IDirect3DVertexBuffer9* CreateDebugBuffer(IDirect3DDevice9* pDevice, UINT vertices, long line) {
    IDirect3DVertexBuffer9* pBuffer = nullptr;
    CD3DWatch::SafeCreateVertexBuffer(kSystemSource, line, pDevice, vertices * kVertexBytes,
                                      D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_DEFAULT, &pBuffer,
                                      nullptr);
    return pBuffer;
}

void ReadBlendFactor(const CMyXMLNode* pNode, const char* attribute, int messageId, long line, DWORD& factor) {
    CString name;
    if (!pNode->GetAttribute(attribute, name)) return;
    if (!FindNamedValue(kBlendNames, name, factor))
        Vastrel::Utils::ReportError(kSystemSource, line, messageId, name.GetString());
}

void WriteBlendFactor(CMyXMLNode* pNode, const char* attribute, DWORD factor) {
    if (const char* name = FindValueName(kBlendNames, factor)) pNode->SetAttribute(attribute, name);
}

// Where a particle born at point goes round the set's axis: the foot of the
// point on the axis line gives the direction out to the birth circle.
D3DXVECTOR3 PlaceAround(const D3DXVECTOR3& point, const CStandardParticleSystemParams& params) {
    const D3DXVECTOR3& axis = params.GetAroundAxis();
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &point, &axis);
    D3DXVECTOR3 foot(0.0f, 0.0f, 0.0f);
    D3DXPlaneIntersectLine(&foot, &plane, &origin, &axis);
    D3DXVECTOR3 outward = point - foot;
    D3DXVec3Normalize(&outward, &outward);
    const D3DXVECTOR3 onCircle = params.GetAroundPoint() + outward * params.GetRadius();
    return params.GetParticleSystemBased() == PSB_AROUND_AXIS_BASED ? foot + onCircle : onCircle;
}

// Two unit vectors perpendicular to axis and to each other.
void PerpendicularPair(const D3DXVECTOR3& axis, D3DXVECTOR3& u, D3DXVECTOR3& v) {
    const D3DXVECTOR3 helper = std::fabs(axis.x) < 0.9f ? D3DXVECTOR3(1.0f, 0.0f, 0.0f) : D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    D3DXVec3Cross(&u, &axis, &helper);
    D3DXVec3Normalize(&u, &u);
    D3DXVec3Cross(&v, &axis, &u);
}

void WriteVertices(IDirect3DVertexBuffer9* pBuffer, const D3DXVECTOR3* pVertices, UINT count) {
    void* pData = nullptr;
    if (FAILED(pBuffer->Lock(0, count * kVertexBytes, &pData, D3DLOCK_DISCARD)) || !pData) return;
    std::memcpy(pData, pVertices, count * kVertexBytes);
    pBuffer->Unlock();
}

}  // namespace

IParticleSystem::IParticleSystem(CParticleSystemManager* pManager, ParticleSystemType type)
    : m_pManager(pManager),
      m_eType(type),
      m_pRenderStateStack(new CRenderStateStack(pManager->GetD3DDevice())),
      m_pTextureStageStateStack(new CTextureStageStateStack(pManager->GetD3DDevice())),
      m_paramsGeneration(g_paramsGeneration) {
    D3DXMatrixIdentity(&m_matrix);
    CreateBuffers();
}

IParticleSystem::IParticleSystem(CParticleSystemManager* pManager, ParticleSystemType type, CArchive& ar)
    : IParticleSystem(pManager, type) {
    unsigned int maxParticle = 0;
    ar >> maxParticle >> m_nParticlePerEmit >> m_fEmitPerSec >> m_matrix >> m_bNeedEmit >> m_fEmitRemainder;
    ar >> m_bShowEmitter >> m_bAlphaBlend >> m_dwSrcBlend >> m_dwDestBlend >> m_bSorting >> m_bDistortSpace;
    ar >> m_bRecieveShadow >> m_bNeedRender >> m_bNeedUpdate >> m_bLife >> m_vAxis >> m_vTargetPoint >> m_fScale;
    if (IsAcceptableCap(maxParticle, __LINE__)) m_nMaxParticle = maxParticle;
}

IParticleSystem::~IParticleSystem() {
    delete m_pTextureStageStateStack;
    delete m_pRenderStateStack;
    delete m_pContainer;
    OnLostDevice();
}

void IParticleSystem::Copy(CArchive& ar) const {
    ar << m_eType << m_nMaxParticle << m_nParticlePerEmit << m_fEmitPerSec << m_matrix << m_bNeedEmit
       << m_fEmitRemainder;
    ar << m_bShowEmitter << m_bAlphaBlend << m_dwSrcBlend << m_dwDestBlend << m_bSorting << m_bDistortSpace;
    ar << m_bRecieveShadow << m_bNeedRender << m_bNeedUpdate << m_bLife << m_vAxis << m_vTargetPoint << m_fScale;
}

// -- Documents --

void IParticleSystem::Init(const CMyXMLNode* pNode) {
    ReadAttributes(pNode);
    for (const CMyXMLNode* pChild : pNode->GetChildrens()) ReadChild(pChild);
    if (m_strEmitterName.IsEmpty()) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 115);
    if (m_strParamsName.IsEmpty()) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 114);
    if (!m_pContainer) m_pContainer = new CPoolParticleContainer();
    m_pContainer->Init(this, m_nMaxParticle);
}

void IParticleSystem::ReadAttributes(const CMyXMLNode* pNode) {
    int maxParticle = 0;
    int particlePerEmit = 0;
    if (!pNode->GetIntAttribute("maxParticle", maxParticle)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 104);
    else if (IsAcceptableCap(maxParticle, __LINE__)) m_nMaxParticle = static_cast<unsigned int>(maxParticle);
    if (!pNode->GetFloatAttribute("emitPerSec", m_fEmitPerSec)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 105);
    if (!pNode->GetIntAttribute("particlePerEmit", particlePerEmit)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 106);
    else m_nParticlePerEmit = static_cast<unsigned int>(particlePerEmit);
    pNode->GetBoolAttribute("sorting", m_bSorting);
    pNode->GetBoolAttribute("DistortSpace", m_bDistortSpace);
    pNode->GetBoolAttribute("RecieveShadow", m_bRecieveShadow);
    CString containerType;
    if (!pNode->GetAttribute("containerType", containerType)) return;
    delete m_pContainer;
    m_pContainer = m_pManager->GetParticleContainerManager()->CreateParticleContainer(containerType);
}

void IParticleSystem::ReadChild(const CMyXMLNode* pChild) {
    const CString name = pChild->GetName();
    if (name == "Timer") InitTimer(pChild);
    else if (name == "Blend") ReadBlend(pChild);
    else if (name == "ParticleSystemParams") ReadParamsChild(pChild);
    else if (name == "Emitter") ReadEmitterChild(pChild);
    else if (name == "Texture") ReadTextureChild(pChild);
}

void IParticleSystem::ReadBlend(const CMyXMLNode* pNode) {
    if (!pNode->GetBoolAttribute("enable", m_bAlphaBlend)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 107);
    ReadBlendFactor(pNode, "src", 108, __LINE__, m_dwSrcBlend);
    ReadBlendFactor(pNode, "dest", 109, __LINE__, m_dwDestBlend);
}

// Absent placement attributes reset to the defaults rather than keep old values.
void IParticleSystem::ReadParamsChild(const CMyXMLNode* pNode) {
    if (!pNode->GetAttribute("name", m_strParamsName)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 110);
    if (!pNode->GetVector3DAttribute("axis", m_vAxis)) m_vAxis = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    if (!pNode->GetVector3DAttribute("targetpoint", m_vTargetPoint)) m_vTargetPoint = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    if (!pNode->GetFloatAttribute("scale", m_fScale)) m_fScale = 1.0f;
}

// A timeline decides when emission starts, so "started" counts only without one.
void IParticleSystem::ReadEmitterChild(const CMyXMLNode* pNode) {
    if (!pNode->GetAttribute("name", m_strEmitterName)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 111);
    CString show;
    if (pNode->GetAttribute("show", show)) {
        pNode->GetBoolAttribute("show", m_bShowEmitter);
        if (IEmitter* pEmitter = GetEmitter()) pEmitter->CreateMesh();
    }
    if (GetTimesCount() == 0) pNode->GetBoolAttribute("started", m_bNeedEmit);
    else m_bNeedEmit = false;
}

void IParticleSystem::ReadTextureChild(const CMyXMLNode* pNode) {
    if (!pNode->GetAttribute("name", m_strTextureName)) Vastrel::Utils::ReportError(kSystemSource, __LINE__, 112);
}

void IParticleSystem::Save(CMyXMLNode* pNode) const {
    SaveTimer(pNode);
    pNode->SetAttribute("maxParticle", m_nMaxParticle);
    pNode->SetAttribute("emitPerSec", m_fEmitPerSec);
    pNode->SetAttribute("particlePerEmit", m_nParticlePerEmit);
    pNode->SetAttribute("sorting", m_bSorting);
    pNode->SetAttribute("DistortSpace", m_bDistortSpace);
    pNode->SetAttribute("RecieveShadow", m_bRecieveShadow);
    if (m_pContainer) pNode->SetAttribute("containerType", m_pContainer->GetTypeName());
    SaveChildren(pNode);
}

void IParticleSystem::SaveChildren(CMyXMLNode* pNode) const {
    CMyXMLNode* pBlend = pNode->AddChildren("Blend");
    pBlend->SetAttribute("enable", m_bAlphaBlend);
    WriteBlendFactor(pBlend, "src", m_dwSrcBlend);
    WriteBlendFactor(pBlend, "dest", m_dwDestBlend);
    CMyXMLNode* pParams = pNode->AddChildren("ParticleSystemParams");
    pParams->SetAttribute("name", m_strParamsName);
    pParams->SetAttribute("axis", m_vAxis);
    pParams->SetAttribute("targetpoint", m_vTargetPoint);
    pParams->SetAttribute("scale", m_fScale);
    CMyXMLNode* pEmitter = pNode->AddChildren("Emitter");
    pEmitter->SetAttribute("name", m_strEmitterName);
    pEmitter->SetAttribute("show", m_bShowEmitter);
    pEmitter->SetAttribute("started", m_bNeedEmit);
    pNode->AddChildren("Texture")->SetAttribute("name", m_strTextureName);
}

bool IParticleSystem::IsAcceptableCap(long long maxParticle, long line) const {
    if (maxParticle >= 0 && maxParticle <= kMaxParticleLimit) return true;
    Vastrel::Utils::detail::ReportText(kSystemSource, line, "maxParticle %lld is outside 0 to %u; the cap stays %u",
                                       maxParticle, kMaxParticleLimit, m_nMaxParticle);
    return false;
}

// -- Configuration --

void IParticleSystem::Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
                           unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
                           const CString& texture) {
    m_strEmitterName = emitter;
    m_strParamsName = params;
    m_strTextureName = texture;
    if (IsAcceptableCap(maxParticle, __LINE__)) m_nMaxParticle = maxParticle;
    m_fEmitPerSec = emitPerSec;
    m_nParticlePerEmit = particlePerEmit;
    m_pContainer = pContainer;
    if (m_pContainer) m_pContainer->Init(this, m_nMaxParticle);
}

IParticle* IParticleSystem::CreateParticle() { return nullptr; }

void IParticleSystem::SetMaxParticle(unsigned int maxParticle) {
    if (maxParticle == m_nMaxParticle || !IsAcceptableCap(maxParticle, __LINE__)) return;
    m_nMaxParticle = maxParticle;
    if (m_pContainer) m_pContainer->Resize(maxParticle);
    Resize();
}

void IParticleSystem::SetAxis(const D3DXVECTOR3& axis) {
    if (axis == D3DXVECTOR3(0.0f, 0.0f, 0.0f)) return;
    D3DXVec3Normalize(&m_vAxis, &axis);
}

void IParticleSystem::SetParticleContainer(IParticleContainer* pContainer) {
    delete m_pContainer;
    m_pContainer = pContainer;
    if (m_pContainer) m_pContainer->Init(this, m_nMaxParticle);
}

IEmitter* IParticleSystem::GetEmitter() { return m_pManager->GetEmitterManager()->Get(m_strEmitterName); }

const IEmitter* IParticleSystem::GetEmitter() const {
    return m_pManager->GetEmitterManager()->Get(m_strEmitterName);
}

IParticleSystemParams* IParticleSystem::GetParticleParams() {
    return m_pManager->GetParamsManager()->Get(m_strParamsName);
}

const IParticleSystemParams* IParticleSystem::GetParticleParams() const {
    return m_pManager->GetParamsManager()->Get(m_strParamsName);
}

// Every parameter set derives from the standard one.
CStandardParticleSystemParams* IParticleSystem::GetStandardParticleParams() {
    return static_cast<CStandardParticleSystemParams*>(GetParticleParams());
}

const CStandardParticleSystemParams* IParticleSystem::GetStandardParticleParams() const {
    return static_cast<const CStandardParticleSystemParams*>(GetParticleParams());
}

ITexture* IParticleSystem::GetTexture() { return m_pManager->GetTextureManager()->Get(m_strTextureName); }

const ITexture* IParticleSystem::GetTexture() const {
    return m_pManager->GetTextureManager()->Get(m_strTextureName);
}

void IParticleSystem::StartEmit() {
    m_bNeedEmit = true;
    StartTimer();
}

void IParticleSystem::StopEmit() {
    m_bNeedEmit = false;
    StopTimer();
}

unsigned int IParticleSystem::GetParticleCount() const {
    return m_pContainer ? m_pContainer->GetActiveParticle() : 0;
}

void IParticleSystem::SortingParticles() {
    if (m_pContainer) m_pContainer->Sort();
}

// -- One update --

bool IParticleSystem::Update(float dt, const D3DXMATRIXA16& world, bool useWorld) {
    UpdateTimer(dt);
    if (!m_bNeedUpdate || !m_pContainer) return true;
    IEmitter* pEmitter = GetEmitter();
    if (pEmitter) pEmitter->RefreshRotationMatrix(dt);
    RebindStaleParticles();
    if (m_bNeedEmit && m_bLife && pEmitter) Emit(dt, pEmitter, world, useWorld);
    RefreshParamsRotation(dt);
    AgeParticles(dt);
    if (m_bSorting) SortingParticles();
    return m_bLife || m_pContainer->GetActiveParticle() != 0;
}

// A parameter set was destroyed somewhere: live particles made before that
// take a fresh updater from the current set and start a new life where they
// stand, so none of them reads freed memory. Spares re-bind at their birth.
void IParticleSystem::RebindStaleParticles() {
    if (m_paramsGeneration == g_paramsGeneration) return;
    m_paramsGeneration = g_paramsGeneration;
    for (IParticle* pParticle = m_pContainer->First(); pParticle; pParticle = m_pContainer->Next()) {
        if (!pParticle->IsBindingStale()) continue;
        pParticle->BindUpdater(this);
        if (pParticle->m_pUpdater) pParticle->m_pUpdater->Set(this, pParticle);
    }
}

void IParticleSystem::Emit(float dt, IEmitter* pEmitter, const D3DXMATRIXA16& world, bool useWorld) {
    const unsigned int births = DueBirths(dt);
    const D3DXMATRIX own = pEmitter->GetMatrix();
    if (useWorld) pEmitter->SetMatrix(own * world);
    pEmitter->RefreshRotationMatrix(dt);
    for (unsigned int birth = 0; birth < births; ++birth) EmitParticle(pEmitter);
    if (useWorld) pEmitter->SetMatrix(own);
}

// Whole emissions due, with the fraction carried over, clamped to the room
// under the cap in floating point: an absurd rate (huge, negative, NaN) never
// reaches an integer conversion out of range. Births cut by the cap are lost.
unsigned int IParticleSystem::DueBirths(float dt) {
    const float due = dt * m_fEmitPerSec + m_fEmitRemainder;
    if (std::isnan(due) || due < 0.0f) {
        m_fEmitRemainder = 0.0f;
        return 0;
    }
    const double emissions = std::floor(static_cast<double>(due));
    m_fEmitRemainder = std::isfinite(due) ? static_cast<float>(due - emissions) : 0.0f;
    const unsigned int active = m_pContainer->GetActiveParticle();
    const unsigned int room = m_nMaxParticle > active ? m_nMaxParticle - active : 0;
    const double wanted = emissions * m_nParticlePerEmit;
    return wanted < room ? static_cast<unsigned int>(wanted) : room;
}

void IParticleSystem::RefreshParamsRotation(float dt) {
    CStandardParticleSystemParams* pParams = GetStandardParticleParams();
    if (pParams && IsOrbiting(pParams->GetParticleSystemBased())) pParams->RefreshRotationMatrix(dt);
}

void IParticleSystem::AgeParticles(float dt) {
    CPoolParticleContainer* pPool = dynamic_cast<CPoolParticleContainer*>(m_pContainer);
    if (pPool) pPool->SetAgingWalk(true);
    IParticle* pParticle = m_pContainer->First();
    while (pParticle) pParticle = pParticle->Update(dt) ? m_pContainer->Next() : m_pContainer->PopCurrent();
    if (pPool) pPool->SetAgingWalk(false);
}

void IParticleSystem::EmitParticle(IEmitter* pEmitter) {
    IParticle* pParticle = m_pContainer && pEmitter ? m_pContainer->Push() : nullptr;
    if (!pParticle) return;
    pParticle->SetLive(this, pEmitter->GetEmitPoint());
    const CStandardParticleSystemParams* pParams = GetStandardParticleParams();
    if (pParams && IsOrbiting(pParams->GetParticleSystemBased()))
        pParticle->SetPos(PlaceAround(pParticle->GetPos(), *pParams));
}

void IParticleSystem::OnTimer(const TimerProps& props, float lateness) {
    m_pManager->CallPSTimerCallback(this, props, lateness);
    switch (props.eType) {
        case TIMER_START:
            if (!m_bNeedEmit) StartEmit();
            break;
        case TIMER_PAUSE:
            StopEmit();
            break;
        case TIMER_END:
            if (m_bNeedEmit) StopEmit();
            break;
    }
    if (m_pContainer) m_pContainer->OnTimer(props.eType);
}

// -- Drawing --

void IParticleSystem::Render(const D3DXMATRIXA16& matrix, bool useWorld,
                             SParticleSystemRenderProperties* pProperties) const {
    if (!m_bNeedRender || !m_pContainer) return;
    if (m_bShowEmitter)
        if (const IEmitter* pEmitter = GetEmitter()) pEmitter->Render(m_matrix);
    if (m_pContainer->GetActiveParticle() == 0) return;
    ChooseTechnique(pProperties);
    PreRender(matrix, useWorld, m_fScale, pProperties);
    RenderParticles(matrix, useWorld, pProperties);
    PostRender(matrix, useWorld);
    if (ShowsAroundAxis()) RenderAroundAxisAndPoint();
}

// Distortion wins over shadow. Without the shared effect the choice is still
// recorded for the kinds.
void IParticleSystem::ChooseTechnique(SParticleSystemRenderProperties* pProperties) const {
    if (!pProperties) return;
    ID3DXEffect* pEffect = GetParticleEffect();
    pProperties->eTechnique = m_bDistortSpace ? PSRT_DISTORT : m_bRecieveShadow ? PSRT_DIFFUSE_SHADOW : PSRT_NORMAL;
    if (!pEffect || pProperties->eTechnique == PSRT_NORMAL) return;
    pEffect->SetTechnique(pProperties->eTechnique == PSRT_DISTORT ? "Distort" : "DiffuseShadow");
}

void IParticleSystem::PreRender(const D3DXMATRIXA16&, bool, float, SParticleSystemRenderProperties* pProperties) const {
    ID3DXEffect* pEffect = pProperties ? GetParticleEffect() : nullptr;
    if (pEffect && pProperties->eTechnique == PSRT_DISTORT) {
        pEffect->SetTexture("SceneTex", pProperties->pSceneTex);
        m_pRenderStateStack->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        m_pRenderStateStack->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        return;
    }
    if (pEffect && pProperties->eTechnique == PSRT_DIFFUSE_SHADOW) {
        pEffect->SetTexture("StaticShadowMap", pProperties->pStaticShadowMap);
        if (pProperties->pStaticShadowMatrix) pEffect->SetMatrix("mStaticShadowMap", pProperties->pStaticShadowMatrix);
        pEffect->SetFloat("fShadowIntensity", pProperties->fShadowIntensity);
        pEffect->SetVector("vAmbientLight", &pProperties->vAmbientLight);
    }
    m_pRenderStateStack->SetRenderState(D3DRS_ALPHABLENDENABLE, m_bAlphaBlend ? TRUE : FALSE);
    m_pRenderStateStack->SetRenderState(D3DRS_ZWRITEENABLE, m_bAlphaBlend ? FALSE : TRUE);
    if (m_bAlphaBlend) {
        m_pRenderStateStack->SetRenderState(D3DRS_SRCBLEND, m_dwSrcBlend);
        m_pRenderStateStack->SetRenderState(D3DRS_DESTBLEND, m_dwDestBlend);
    }
    m_pRenderStateStack->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    if (m_strTextureName.IsEmpty()) return;
    m_pTextureStageStateStack->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_pTextureStageStateStack->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

void IParticleSystem::RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                                      SParticleSystemRenderProperties* pProperties) const {
    if (!m_pContainer) return;
    D3DXMATRIX world = matrix;
    if (!useWorld) D3DXMatrixIdentity(&world);
    ID3DXEffect* pEffect = pProperties && pProperties->eTechnique != PSRT_NORMAL ? GetParticleEffect() : nullptr;
    if (pEffect) pEffect->SetMatrix("mWorld", &world);
    else m_pManager->GetD3DDevice()->SetTransform(D3DTS_WORLD, &world);
    for (IParticle* pParticle = m_pContainer->First(); pParticle; pParticle = m_pContainer->Next()) pParticle->Render();
}

void IParticleSystem::PostRender(const D3DXMATRIXA16&, bool) const {
    m_pTextureStageStateStack->Reset();
    m_pRenderStateStack->Reset();
}

bool IParticleSystem::ShowsAroundAxis() const {
    const CStandardParticleSystemParams* pParams = GetStandardParticleParams();
    return pParams && pParams->GetShowAxis() && IsOrbiting(pParams->GetParticleSystemBased());
}

// Straight on the device, leaving every state as it was found.
void IParticleSystem::RenderAroundAxisAndPoint() const {
    if (!m_pAxisVB || !m_pAroundVB) return;
    FillAroundBuffers();
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    const detail::CDebugLineStates states(pDevice, kAroundColor);
    pDevice->SetStreamSource(0, m_pAxisVB, 0, kVertexBytes);
    pDevice->DrawPrimitive(D3DPT_LINELIST, 0, kAxisVertices / 2);
    pDevice->SetStreamSource(0, m_pAroundVB, 0, kVertexBytes);
    pDevice->DrawPrimitive(D3DPT_LINELIST, 0, kAroundVertices / 2);
}

// The axis as a line through the around point, two radii each way, and the
// birth circle round the point as eighteen chords.
void IParticleSystem::FillAroundBuffers() const {
    const CStandardParticleSystemParams* pParams = GetStandardParticleParams();
    const D3DXVECTOR3& centre = pParams->GetAroundPoint();
    const D3DXVECTOR3& axis = pParams->GetAroundAxis();
    const float radius = pParams->GetRadius() != 0.0f ? std::fabs(pParams->GetRadius()) : 1.0f;
    const D3DXVECTOR3 line[kAxisVertices] = {centre - axis * (2.0f * radius), centre + axis * (2.0f * radius)};
    WriteVertices(m_pAxisVB, line, kAxisVertices);
    D3DXVECTOR3 u, v;
    PerpendicularPair(axis, u, v);
    D3DXVECTOR3 ring[kAroundVertices];
    for (UINT chord = 0; chord < kAroundVertices / 2; ++chord) {
        for (UINT end = 0; end < 2; ++end) {
            const float angle = kTwoPi * static_cast<float>(chord + end) / (kAroundVertices / 2);
            ring[2 * chord + end] = centre + (u * std::cos(angle) + v * std::sin(angle)) * radius;
        }
    }
    WriteVertices(m_pAroundVB, ring, kAroundVertices);
}

// -- Device --

void IParticleSystem::OnLostDevice() {
    SafeRelease(kSystemSource, __LINE__, &m_pAxisVB);
    SafeRelease(kSystemSource, __LINE__, &m_pAroundVB);
}

void IParticleSystem::OnRestoreDevice() { CreateBuffers(); }

void IParticleSystem::CreateBuffers() {
    OnLostDevice();
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    m_pAxisVB = CreateDebugBuffer(pDevice, kAxisVertices, __LINE__);
    m_pAroundVB = CreateDebugBuffer(pDevice, kAroundVertices, __LINE__);
}
