// The particle-system core: the timeline every system and the manager carry,
// the per-frame render inputs, particles and their containers, the key-value
// curves with their per-particle interpolators, the standard parameter set and
// its updater, and the particle-system base with its drawing frame.
//
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
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <typeinfo>
#include <utility>
#include <vector>

#include <afx.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "Corvantis/cdevicerestorable.h"
#include "UtilsSrc/pyrelune_api.h"
#include "emitter.h"

namespace Vastrel {
namespace Utils {
class CMyXMLNode;
}  // namespace Utils
}  // namespace Vastrel

class CEmitterManager;
class CParticleContainerManager;
class CParticleSystemManager;
class CPSParamsManager;
class CRenderStateStack;
class CTextureStageStateStack;
class IParticle;
class IParticleSystem;
class ITexture;

// ==== Timeline ====

// A clock advanced by the frame time, a list of timed events sorted by time
// and a loop rule. An event fires once per pass, on the advance that takes the
// clock strictly past its time; the owner reacts in OnTimer.
class PYRELUNE_API IPSTimer {
public:
    enum TimerEnums { TIMER_START = 0, TIMER_PAUSE = 1, TIMER_END = 2 };

    struct TimerProps {
        float fTime;  // seconds on the timeline clock
        TimerEnums eType;
    };

    typedef std::vector<TimerProps> TimerList;

    IPSTimer() = default;
    IPSTimer(const IPSTimer&) = default;
    IPSTimer& operator=(const IPSTimer&) = default;
    virtual ~IPSTimer();

    // Adds the loop settings and "Time" events of a "Timer" element to the list.
    virtual void InitTimer(const Vastrel::Utils::CMyXMLNode* pNode);
    virtual void ClearTimer();
    virtual void ResetTimer();
    // Adds a "Timer" child to pNode; nothing when there are no events.
    virtual void SaveTimer(Vastrel::Utils::CMyXMLNode* pNode) const;
    // False, changing nothing, while the timeline is not running.
    virtual bool UpdateTimer(float dt);
    // lateness = event time - clock, zero or negative.
    virtual void OnTimer(const TimerProps& props, float lateness) = 0;
    virtual void StartTimer();
    virtual void StopTimer();
    virtual void PauseTimer();

    // False when an event with exactly that time exists.
    bool AddTimer(float time, TimerEnums type);
    bool RemoveTimer(float time);
    bool SetTimer(float time, TimerEnums type);
    // The event with exactly that time, or GetTimes().end().
    TimerList::const_iterator GetTimerIterator(float time) const;
    const TimerList& GetTimes() const { return m_times; }
    int GetTimesCount() const { return static_cast<int>(m_times.size()); }
    float GetTickCount() const { return m_fTickCount; }
    bool GetLoop(float& loopTime) const;
    void SetLoop(bool loop, float loopTime);

    static bool SortTimes(const TimerProps& a, const TimerProps& b);

private:
    bool IsDue(size_t index) const;
    bool IsLoopDue() const;
    void FireDueEvents();
    TimerList::iterator FindTime(float time);

    float m_fTickCount = 0.0f;  // seconds
    TimerList m_times;          // ascending time, no two alike
    bool m_bLoop = true;
    float m_fLoopTime = 0.0f;
    float m_fLastFired = -1.0f;  // time of the last event fired in this pass; -1 = none
    bool m_bRunning = false;
};

// ==== Render properties ====

enum EPSRenderTechnique {
    PSRT_NORMAL = 0,          // fixed-function path, no effect
    PSRT_DIFFUSE_SHADOW = 1,  // effect technique "DiffuseShadow"
    PSRT_DISTORT = 2,         // effect technique "Distort"
};

// The host's per-frame inputs for the effect techniques. One record serves a
// whole frame: each system overwrites eTechnique from its own flags.
struct PYRELUNE_API SParticleSystemRenderProperties {
    SParticleSystemRenderProperties();

    EPSRenderTechnique GetRenderTechnique() const { return eTechnique; }

    IDirect3DBaseTexture9* pSceneTex;          // "SceneTex" of the distortion
    IDirect3DBaseTexture9* pStaticShadowMap;   // "StaticShadowMap"
    const D3DXMATRIX* pStaticShadowMatrix;     // "mStaticShadowMap"
    float fShadowIntensity;                    // "fShadowIntensity"
    D3DXVECTOR4 vAmbientLight;                 // "vAmbientLight"
    EPSRenderTechnique eTechnique;
};

// ==== Grouped allocation ====

namespace detail {

// While an instance lives, particles, updaters and interpolators are carved
// one after another from shared blocks instead of the heap: a pool filling up
// gets each particle's pieces side by side, without per-object heap headers.
// A block is freed with the last object carved from it, so objects may die in
// any order. Outside a fill these classes use the heap as usual. The state is
// one process-wide global, single-threaded like the library.
class PYRELUNE_API CGroupedAllocation {
public:
    CGroupedAllocation();  // an inner instance leaves the outer one in charge
    ~CGroupedAllocation();
    CGroupedAllocation(const CGroupedAllocation&) = delete;
    CGroupedAllocation& operator=(const CGroupedAllocation&) = delete;

    // Bytes carved while this instance is in charge.
    std::size_t CarvedBytes() const;

    static void* Allocate(std::size_t bytes);
    static void Free(void* pObject) noexcept;
    // Bytes of the blocks held from the system, outside the heap's accounting.
    static std::size_t HeldBytes();

private:
    bool m_bInCharge;
};

}  // namespace detail

// The class-specific allocation of the pieces of a particle.
#define PYRELUNE_GROUPED_ALLOCATION                                                                \
    static void* operator new(std::size_t bytes) { return detail::CGroupedAllocation::Allocate(bytes); } \
    static void operator delete(void* pObject) noexcept { detail::CGroupedAllocation::Free(pObject); }

// ==== Parameter interfaces ====

enum PSParamsType {
    PSPT_STANDARD = 0,
    PSPT_BILLBOARD = 1,
    PSPT_POINTSPRITE = 2,
    PSPT_MESH = 3,
};

// Ages one particle along its system's parameter set; owned by the particle.
class PYRELUNE_API IParticleParamUpdater {
public:
    PYRELUNE_GROUPED_ALLOCATION
    virtual ~IParticleParamUpdater();
    // The particle is born (again).
    virtual void Set(const IParticleSystem* pSystem, IParticle* pParticle) = 0;
    // False when the particle's life has ended.
    virtual bool Update(float dt, IParticle* pParticle) = 0;
    virtual void OnTimer(IPSTimer::TimerEnums type) = 0;
};

// A named, shared description of how particles live and move; owned by the
// parameter registry and read by every particle of the systems that name it.
class PYRELUNE_API IParticleSystemParams {
public:
    explicit IParticleSystemParams(PSParamsType type) : m_type(type) {}
    virtual ~IParticleSystemParams();

    virtual IParticleParamUpdater* CreateParticleParamUpdater() const = 0;
    virtual void SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const = 0;
    virtual void Save(Vastrel::Utils::CMyXMLNode* pNode) const = 0;

    PSParamsType GetPSParamsType() const { return m_type; }
    int GetPSParamsIntType() const { return m_type; }

protected:
    PSParamsType m_type;
};

namespace detail {

// Counts parameter sets destroyed in this process. A particle whose updater
// was made in an older generation may hold pointers into a freed set, so it
// re-binds before its updater runs again. Single-threaded, like the library.
PYRELUNE_API std::uint32_t ParamsGeneration();

}  // namespace detail

// ==== Particles ====

// One live element of a system: position, colour, texture frame and the
// updater that ages it. Kinds add the fields their systems draw. Particles are
// not copied: the updater is owned.
class PYRELUNE_API IParticle {
public:
    PYRELUNE_GROUPED_ALLOCATION
    // Takes an updater from the system's parameter set, if it has one.
    explicit IParticle(IParticleSystem* pSystem);
    IParticle(const IParticle&) = delete;
    IParticle& operator=(const IParticle&) = delete;
    virtual ~IParticle();

    // Born at position; the updater draws this life's values.
    virtual void SetLive(IParticleSystem* pSystem, const D3DXVECTOR3& position);
    // Kinds draw in batches, so a particle draws nothing by itself.
    virtual void Render() const;
    // False when the particle has died (always without an updater).
    virtual bool Update(float dt);
    virtual void OnTimer(IPSTimer::TimerEnums type);

    const D3DXVECTOR3& GetPos() const { return m_vPos; }
    void SetPos(const D3DXVECTOR3& position) { m_vPos = position; }
    DWORD GetColor() const { return m_dwColor; }
    void SetColor(DWORD color) { m_dwColor = color; }
    float GetTextureFrame() const { return m_fTextureFrame; }
    void SetTextureFrame(float frame) { m_fTextureFrame = frame; }
    IParticleParamUpdater* GetParamUpdater() const { return m_pUpdater; }

protected:
    IParticleParamUpdater* m_pUpdater = nullptr;  // owned
    D3DXVECTOR3 m_vPos;                           // unset until birth
    DWORD m_dwColor = 0xFFFFFFFF;
    float m_fTextureFrame = 0.0f;

private:
    friend class IParticleSystem;

    // Replaces the updater with a fresh one from the system's current set.
    void BindUpdater(const IParticleSystem* pSystem);
    bool IsBindingStale() const;

    // Parameter-set generation the updater was made in (see ParamsGeneration).
    std::uint32_t m_bindingGeneration;
};

// ==== Key values and interpolators ====

namespace detail {

// Growable array with room for Inline entries inside the object, so the usual
// handful of keys costs no allocation and sits next to its interpolator. The
// heap pointer shares the inline bytes, which keeps the array 4-byte aligned
// and packs it behind a float.
template <typename P, unsigned Inline>
class CInlineArray {
public:
    CInlineArray() = default;
    CInlineArray(const CInlineArray& other) { Append(other); }
    CInlineArray& operator=(const CInlineArray& other);
    ~CInlineArray() { FreeHeap(); }

    unsigned size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    P* begin() { return Data(); }
    P* end() { return Data() + m_size; }
    const P* begin() const { return Data(); }
    const P* end() const { return Data() + m_size; }
    P& operator[](unsigned index) { return Data()[index]; }
    const P& operator[](unsigned index) const { return Data()[index]; }
    void Reserve(unsigned capacity);
    void PushBack(const P& entry);

private:
    static constexpr unsigned kInlineBytes = sizeof(P) * Inline > sizeof(P*) ? sizeof(P) * Inline : sizeof(P*);

    bool IsOnHeap() const { return m_capacity > Inline; }
    P* Data() { return IsOnHeap() ? HeapPointer() : reinterpret_cast<P*>(m_storage); }
    const P* Data() const { return const_cast<CInlineArray*>(this)->Data(); }
    P* HeapPointer() const;
    void FreeHeap();
    void Append(const CInlineArray& other);

    std::uint16_t m_size = 0;
    std::uint16_t m_capacity = Inline;
    alignas(float) unsigned char m_storage[kInlineBytes];  // the entries, or the heap pointer
};

// A curve keeps at most this many keys; further ones are dropped.
constexpr unsigned kMaxInlineArrayEntries = 0xFFFF;

template <typename P, unsigned Inline>
CInlineArray<P, Inline>& CInlineArray<P, Inline>::operator=(const CInlineArray& other) {
    if (this == &other) return *this;
    m_size = 0;
    Append(other);
    return *this;
}

template <typename P, unsigned Inline>
void CInlineArray<P, Inline>::Reserve(unsigned capacity) {
    capacity = std::min(capacity, kMaxInlineArrayEntries);
    if (capacity <= m_capacity) return;
    P* pGrown = new P[capacity];
    std::copy(begin(), end(), pGrown);
    FreeHeap();
    std::memcpy(m_storage, &pGrown, sizeof pGrown);
    m_capacity = static_cast<std::uint16_t>(capacity);
}

template <typename P, unsigned Inline>
void CInlineArray<P, Inline>::PushBack(const P& entry) {
    if (m_size == m_capacity) Reserve(2u * m_capacity);
    if (m_size == m_capacity) return;
    Data()[m_size++] = entry;
}

template <typename P, unsigned Inline>
P* CInlineArray<P, Inline>::HeapPointer() const {
    P* pHeap;
    std::memcpy(&pHeap, m_storage, sizeof pHeap);
    return pHeap;
}

template <typename P, unsigned Inline>
void CInlineArray<P, Inline>::FreeHeap() {
    if (IsOnHeap()) delete[] HeapPointer();
}

template <typename P, unsigned Inline>
void CInlineArray<P, Inline>::Append(const CInlineArray& other) {
    Reserve(m_size + other.m_size);
    for (const P& entry : other) PushBack(entry);
}

}  // namespace detail

// One key of a value list: at time key the value lies between min and max.
template <typename T>
struct KeyValueProps {
    float key;
    T min;
    T max;
};

// One key of a particle's own curve.
template <typename T>
struct InterpolatorProps {
    float key;
    T value;
};

// The base of every key-value list: the loop rule that advancing
// interpolators owned by the list follow.
class PYRELUNE_API IKeyValues {
public:
    IKeyValues() = default;
    IKeyValues(const IKeyValues&) = default;
    IKeyValues& operator=(const IKeyValues&) = default;
    virtual ~IKeyValues();

    // Returns the loop flag and writes the loop time.
    bool GetLoop(float& loopTime) const;
    void SetLoop(bool loop, float loopTime);

protected:
    void Load(const Vastrel::Utils::CMyXMLNode* pNode);
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const;
    void Copy(CArchive& ar) const;
    void Paste(CArchive& ar);

    bool m_loop = true;
    float m_loopTime = 0.0f;  // where an advancing interpolator jumps back to
};

// A particle's own curve, filled at each birth from a list and evaluated every
// frame. Either looked up at a given time or advanced by a step on its own
// clock, which loops by its owner's rule.
template <typename T>
class PYRELUNE_API IInterpolator {
public:
    PYRELUNE_GROUPED_ALLOCATION
    explicit IInterpolator(const IKeyValues* pOwner) : m_owner(pOwner) {}
    IInterpolator(const IInterpolator&) = default;
    IInterpolator& operator=(const IInterpolator&) = default;

    virtual T Interpolate(const T& a, const T& b, float t) const = 0;
    virtual ~IInterpolator();
    // False, leaving out alone, only while the curve has no key. With advance
    // set, time is a step added to the running clock; otherwise the lookup time.
    virtual bool GetValue(float time, T& out, bool advance);

    // Replaces the value of an equal key, else appends: add keys in ascending order.
    void AddValue(float key, const T& value);
    // Room for count keys, so filling never allocates afterwards.
    void ReserveKeys(unsigned count) { m_values.Reserve(count); }
    unsigned GetCount() const { return m_values.size(); }
    // Calls f(T&) on every value, in key order.
    template <typename F>
    void ForEachValue(F f) {
        for (InterpolatorProps<T>& entry : m_values) f(entry.value);
    }
    float GetTime() const { return m_time; }
    const IKeyValues* GetOwner() const { return m_owner; }

protected:
    // Colours fade through a few keys and sizes grow between two; other curves
    // usually hold one. Keys past these go to the heap, a miss of their own.
    static constexpr unsigned kInlineKeys = sizeof(T) >= 16 ? 3 : sizeof(T) == 8 ? 2 : 1;

    float AdvanceClock(float step);
    // The walk of GetValue; between two keys it asks blend(a, b, t).
    template <typename Blend>
    bool LookUp(float time, T& out, bool advance, Blend blend);

    const IKeyValues* m_owner;  // the list whose loop rule applies; belongs to the parameter set
    float m_time = 0.0f;        // running clock of the advancing mode, seconds
    detail::CInlineArray<InterpolatorProps<T>, kInlineKeys> m_values;  // ascending keys
};

template <typename T>
template <typename Blend>
bool IInterpolator<T>::LookUp(float time, T& out, bool advance, Blend blend) {
    const unsigned count = m_values.size();
    if (count == 0) return false;
    const InterpolatorProps<T>* entries = m_values.begin();
    const float lookup = advance ? AdvanceClock(time) : time;
    out = entries[0].value;
    if (count == 1) return true;  // the usual one-key curve: its value at every time
    for (unsigned index = 0; index < count; ++index) {
        const InterpolatorProps<T>& entry = entries[index];
        if (entry.key == lookup) {
            out = entry.value;
            return true;
        }
        if (entry.key > lookup) {
            if (index == 0) return true;
            const InterpolatorProps<T>& before = entries[index - 1];
            out = blend(before.value, entry.value, (lookup - before.key) / (entry.key - before.key));
            return true;
        }
        out = entry.value;
    }
    return true;
}

// Straight lines between keys; t is not clamped.
template <typename T>
class PYRELUNE_API CLinearInterpolator : public IInterpolator<T> {
public:
    explicit CLinearInterpolator(const IKeyValues* pOwner) : IInterpolator<T>(pOwner) {}
    T Interpolate(const T& a, const T& b, float t) const override { return Line(a, b, t); }
    // GetValue without a virtual call, for a caller that knows the exact type.
    bool GetLinearValue(float time, T& out, bool advance) { return this->LookUp(time, out, advance, Line); }

private:
    static T Line(const T& a, const T& b, float t) { return a + (b - a) * t; }
};

namespace detail {

// GetValue, with the common plain linear curve read without virtual calls:
// the per-particle loop reads several curves for every particle.
template <typename T>
bool ReadInterpolator(IInterpolator<T>* pCurve, float time, T& out, bool advance) {
    if (typeid(*pCurve) == typeid(CLinearInterpolator<T>))
        return static_cast<CLinearInterpolator<T>*>(pCurve)->GetLinearValue(time, out, advance);
    return pCurve->GetValue(time, out, advance);
}

}  // namespace detail

#undef PYRELUNE_GROUPED_ALLOCATION

// Value ranges over time; each birth draws one value per key into the
// particle's interpolator. Instantiated for float and the three vector types.
template <typename T>
class PYRELUNE_API CKeyValues : public IKeyValues {
public:
    // Reads "Loop", "LoopTime" and the "AddValue" children, then sorts by key.
    // A missing "min" or "max" takes the other bound (a fixed value); both missing give zero.
    void LoadValues(const Vastrel::Utils::CMyXMLNode* pNode);
    // Writes nothing for an empty list.
    void SaveValues(Vastrel::Utils::CMyXMLNode* pParent, CString name) const;
    void Copy(CArchive& ar) const;
    // Appends the stored entries: use on an empty list.
    void Paste(CArchive& ar);
    void SetInterpolator(IInterpolator<T>* pInterpolator) const;

    // Inserts a key in order, after any equal ones.
    void AddValue(float key, const T& min, const T& max);
    unsigned GetCount() const { return static_cast<unsigned>(m_values.size()); }
    const std::vector<KeyValueProps<T>>& GetValues() const { return m_values; }

private:
    std::vector<KeyValueProps<T>> m_values;  // ascending keys
};

extern template class PYRELUNE_API IInterpolator<float>;
extern template class PYRELUNE_API IInterpolator<D3DXVECTOR2>;
extern template class PYRELUNE_API IInterpolator<D3DXVECTOR3>;
extern template class PYRELUNE_API IInterpolator<D3DXVECTOR4>;
extern template class PYRELUNE_API CLinearInterpolator<float>;
extern template class PYRELUNE_API CLinearInterpolator<D3DXVECTOR2>;
extern template class PYRELUNE_API CLinearInterpolator<D3DXVECTOR3>;
extern template class PYRELUNE_API CLinearInterpolator<D3DXVECTOR4>;
extern template class PYRELUNE_API CKeyValues<float>;
extern template class PYRELUNE_API CKeyValues<D3DXVECTOR2>;
extern template class PYRELUNE_API CKeyValues<D3DXVECTOR3>;
extern template class PYRELUNE_API CKeyValues<D3DXVECTOR4>;

// An absent entry reads as key -1 with an empty name.
struct PositterProps {
    float key;
    CString name;  // emitter in the registry
};

// Emitters a particle travels through ("collector" motion): its position curve
// starts at the birth position and passes an emit point of each named emitter.
class PYRELUNE_API CPositterKeyValues : public IKeyValues {
public:
    explicit CPositterKeyValues(CEmitterManager* pEmitterManager);

    // True for a new key; false when an entry with exactly this key was replaced.
    bool AddValue(float key, CString name);
    void RemoveValue(float key);
    PositterProps GetValue(float key) const;
    PositterProps GetValue(unsigned int index) const;
    unsigned int GetCount() const { return static_cast<unsigned int>(m_values.size()); }
    CEmitterManager* GetEmitterManager() const { return m_emitterManager; }

    void LoadValues(const Vastrel::Utils::CMyXMLNode* pNode);
    // Writes nothing without entries or without a registry.
    void SaveValues(Vastrel::Utils::CMyXMLNode* pParent) const;
    void SetInterpolator(IInterpolator<D3DXVECTOR3>* pInterpolator, IParticle* pParticle) const;

private:
    static bool SortPositterValuesByKeys(const PositterProps& a, const PositterProps& b);

    CEmitterManager* m_emitterManager;  // not owned; null: names resolve to nothing
    std::vector<PositterProps> m_values;  // ascending keys
};

// ==== Standard parameters ====

enum EternalEnums {
    ETERNAL_NULL = 0,   // mortal
    ETERNAL_END = 1,    // lives until an "END" event, then one more life time
    ETERNAL_PAUSE = 2,  // lives until a "PAUSE" or "END" event, then one more life time
};

enum EParticleSystemBased {
    PSB_FORCE_BASED = 0,         // moved by velocity and an accumulating force
    PSB_AROUND_POINT_BASED = 1,  // born on a circle round the around point, orbiting
    PSB_AROUND_AXIS_BASED = 2,   // born round the around axis, orbiting
};

class CStandardParticleParamUpdater;

// The standard parameter set and the base of the kinds' sets: life range,
// eternal mode, movement base with its orbit, and the curves. Shared by every
// particle of the systems that name it; only the orbit step changes per frame.
class PYRELUNE_API CStandardParticleSystemParams : public IParticleSystemParams {
public:
    CStandardParticleSystemParams(float minLifeTime, float maxLifeTime, PSParamsType type);
    CStandardParticleSystemParams(CEmitterManager* pEmitterManager, const Vastrel::Utils::CMyXMLNode* pNode,
                                  PSParamsType type);
    // The two life times are overwritten by the record.
    CStandardParticleSystemParams(float minLifeTime, float maxLifeTime, PSParamsType type, CArchive& ar);
    CStandardParticleSystemParams(const CStandardParticleSystemParams&) = default;
    CStandardParticleSystemParams& operator=(const CStandardParticleSystemParams&) = default;

    IParticleParamUpdater* CreateParticleParamUpdater() const override;
    // pUpdater must be a CStandardParticleParamUpdater or derive from it.
    void SetParticleParamUpdater(IParticleParamUpdater* pUpdater) const override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    void Copy(CArchive& ar) const;

    // A new random life, seconds.
    float GetLifeTime() const;
    // The orbit step of one frame: about the around axis through the around point.
    void RefreshRotationMatrix(float dt);

    EternalEnums GetEternal() const { return m_eEternal; }
    void SetEternal(EternalEnums eternal) { m_eEternal = eternal; }
    EParticleSystemBased GetParticleSystemBased() const { return m_eBased; }
    void SetParticleSystemBased(EParticleSystemBased based) { m_eBased = based; }
    float GetMinLifeTime() const { return m_fMinLifeTime; }
    void SetMinLifeTime(float seconds) { m_fMinLifeTime = seconds; }
    float GetMaxLifeTime() const { return m_fMaxLifeTime; }
    void SetMaxLifeTime(float seconds) { m_fMaxLifeTime = seconds; }
    const D3DXVECTOR3& GetAroundPoint() const { return m_vAroundPoint; }
    void SetAroundPoint(const D3DXVECTOR3& point) { m_vAroundPoint = point; }
    const D3DXVECTOR3& GetAroundAxis() const { return m_vAroundAxis; }
    // A zero vector is ignored; any other is stored normalised.
    void SetAroundAxis(const D3DXVECTOR3& axis);
    float GetRadius() const { return m_fRadius; }
    void SetRadius(float radius) { m_fRadius = radius; }
    float GetOrbitalVelocity() const { return m_fOrbitalVelocity; }
    void SetOrbitalVelocity(float radiansPerSecond) { m_fOrbitalVelocity = radiansPerSecond; }
    bool GetShowAxis() const { return m_bShowAxis; }
    void SetShowAxis(bool show) { m_bShowAxis = show; }
    const D3DXMATRIXA16* GetRotationMatrix() const { return &m_rotationMatrix; }

    CKeyValues<float>* GetTextureKeyValues() { return &m_textureKeyValues; }
    CKeyValues<D3DXVECTOR4>* GetColorKeyValues() { return &m_colorKeyValues; }
    CKeyValues<D3DXVECTOR3>* GetRotationKeyValues() { return &m_rotationKeyValues; }
    CKeyValues<D3DXVECTOR3>* GetForceDirKeyValues() { return &m_forceDirKeyValues; }
    CKeyValues<float>* GetForceKeyValues() { return &m_forceKeyValues; }
    CKeyValues<D3DXVECTOR3>* GetVelocityDirKeyValues() { return &m_velocityDirKeyValues; }
    CKeyValues<float>* GetVelocityKeyValues() { return &m_velocityKeyValues; }
    CPositterKeyValues* GetPositterKeyValues() { return &m_positterKeyValues; }
    const CKeyValues<float>* GetTextureKeyValues() const { return &m_textureKeyValues; }
    const CKeyValues<D3DXVECTOR4>* GetColorKeyValues() const { return &m_colorKeyValues; }
    const CKeyValues<D3DXVECTOR3>* GetRotationKeyValues() const { return &m_rotationKeyValues; }
    const CKeyValues<D3DXVECTOR3>* GetForceDirKeyValues() const { return &m_forceDirKeyValues; }
    const CKeyValues<float>* GetForceKeyValues() const { return &m_forceKeyValues; }
    const CKeyValues<D3DXVECTOR3>* GetVelocityDirKeyValues() const { return &m_velocityDirKeyValues; }
    const CKeyValues<float>* GetVelocityKeyValues() const { return &m_velocityKeyValues; }
    const CPositterKeyValues* GetPositterKeyValues() const { return &m_positterKeyValues; }

protected:
    EternalEnums m_eEternal = ETERNAL_NULL;
    EParticleSystemBased m_eBased = PSB_FORCE_BASED;
    float m_fMinLifeTime;  // seconds
    float m_fMaxLifeTime;  // seconds
    CKeyValues<float> m_textureKeyValues;
    CKeyValues<D3DXVECTOR4> m_colorKeyValues;  // x red, y green, z blue, w alpha
    CKeyValues<D3DXVECTOR3> m_rotationKeyValues;
    CKeyValues<D3DXVECTOR3> m_forceDirKeyValues;
    CKeyValues<float> m_forceKeyValues;
    CKeyValues<D3DXVECTOR3> m_velocityDirKeyValues;  // in the emitter's frame
    CKeyValues<float> m_velocityKeyValues;
    CPositterKeyValues m_positterKeyValues;
    D3DXVECTOR3 m_vAroundPoint{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_vAroundAxis{0.0f, 1.0f, 0.0f};
    float m_fRadius = 1.0f;            // of the birth circle
    float m_fOrbitalVelocity = 1.0f;   // radians per second
    bool m_bShowAxis = true;
    D3DXMATRIXA16 m_rotationMatrix;    // rebuilt every frame by the systems using the set

private:
    void ReadAttributes(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadLists(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadOrbit(const Vastrel::Utils::CMyXMLNode* pNode);
    void SaveLists(Vastrel::Utils::CMyXMLNode* pNode) const;
    void GiveMovementInterpolators(CStandardParticleParamUpdater* pUpdater) const;
};

// ==== Standard parameter updater ====

// Ages one particle by the standard set: the particle's own curves, its life
// and death by the eternal mode, colour, and movement by velocity and force,
// along a collector path, or by the set's orbit step. Owns its interpolators.
class PYRELUNE_API CStandardParticleParamUpdater : public IParticleParamUpdater {
public:
    CStandardParticleParamUpdater() = default;
    CStandardParticleParamUpdater(const CStandardParticleParamUpdater&) = delete;
    CStandardParticleParamUpdater& operator=(const CStandardParticleParamUpdater&) = delete;
    ~CStandardParticleParamUpdater() override;

    void Set(const IParticleSystem* pSystem, IParticle* pParticle) override;
    bool Update(float dt, IParticle* pParticle) override;
    void OnTimer(IPSTimer::TimerEnums type) override;

    void SetTextureInterpolator(IInterpolator<float>* p) { Replace(m_pTextureInterpolator, p); }
    void SetColorInterpolator(IInterpolator<D3DXVECTOR4>* p) { Replace(m_pColorInterpolator, p); }
    void SetRotationInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pRotationInterpolator, p); }
    void SetForceDirInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pForceDirInterpolator, p); }
    void SetForceInterpolator(IInterpolator<float>* p) { Replace(m_pForceInterpolator, p); }
    void SetVelocityDirInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pVelocityDirInterpolator, p); }
    void SetVelocityInterpolator(IInterpolator<float>* p) { Replace(m_pVelocityInterpolator, p); }
    void SetPosInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pPosInterpolator, p); }
    IInterpolator<float>* GetTextureInterpolator() const { return m_pTextureInterpolator; }
    IInterpolator<D3DXVECTOR4>* GetColorInterpolator() const { return m_pColorInterpolator; }
    IInterpolator<D3DXVECTOR3>* GetRotationInterpolator() const { return m_pRotationInterpolator; }
    IInterpolator<D3DXVECTOR3>* GetForceDirInterpolator() const { return m_pForceDirInterpolator; }
    IInterpolator<float>* GetForceInterpolator() const { return m_pForceInterpolator; }
    IInterpolator<D3DXVECTOR3>* GetVelocityDirInterpolator() const { return m_pVelocityDirInterpolator; }
    IInterpolator<float>* GetVelocityInterpolator() const { return m_pVelocityInterpolator; }
    IInterpolator<D3DXVECTOR3>* GetPosInterpolator() const { return m_pPosInterpolator; }

    EternalEnums GetEternal() const { return m_eEternal; }
    void SetEternal(EternalEnums eternal) { m_eEternal = eternal; }
    float GetCurrLifeTime() const { return m_fAge; }
    float GetMaxLifeTime() const { return m_fLifeTime; }

protected:
    // The lookup time and mode every curve is read with in one step.
    struct SLookup {
        float time;
        bool advance;
    };

    // False when the particle dies in this step; otherwise fills lookup.
    bool DecideLife(float dt, SLookup& lookup) const;
    void ApplyTextureAndColor(const SLookup& lookup, IParticle* pParticle);
    void MoveByForce(float dt, const SLookup& lookup, IParticle* pParticle);

    template <typename T>
    static void Replace(IInterpolator<T>*& held, IInterpolator<T>* given) {
        delete held;
        held = given;
    }

    const CStandardParticleSystemParams* m_pParams = nullptr;  // the system's set; not owned
    EternalEnums m_eEternal = ETERNAL_NULL;
    IPSTimer::TimerEnums m_eTimerState = IPSTimer::TIMER_START;  // first non-zero event seen
    float m_fAge = 0.0f;       // seconds since birth, or since the last event for eternal particles
    float m_fLifeTime = 0.0f;  // seconds, drawn at birth
    float m_fForceSpeed = 0.0f;
    IInterpolator<float>* m_pTextureInterpolator = nullptr;
    IInterpolator<D3DXVECTOR4>* m_pColorInterpolator = nullptr;
    IInterpolator<D3DXVECTOR3>* m_pRotationInterpolator = nullptr;
    IInterpolator<D3DXVECTOR3>* m_pForceDirInterpolator = nullptr;
    IInterpolator<float>* m_pForceInterpolator = nullptr;
    IInterpolator<D3DXVECTOR3>* m_pVelocityDirInterpolator = nullptr;
    IInterpolator<float>* m_pVelocityInterpolator = nullptr;
    IInterpolator<D3DXVECTOR3>* m_pPosInterpolator = nullptr;  // collector path

private:
    void FillInterpolators(const IParticleSystem* pSystem, IParticle* pParticle);
    void TurnVelocityDirections(const IEmitter* pEmitter);
};

// ==== Particle containers ====

enum ParticleContainerType {
    PCT_SIMPLE = 0,
    PCT_POOL = 1,
};

// Stores the particles of one system and walks them with a cursor; owned by
// its system, owns its particles. A walk (First, Next, Current, PopCurrent,
// InsertBeforeCurrent) must not be interleaved with Push, Resize, Sort, Init or
// Clear.
class PYRELUNE_API IParticleContainer {
public:
    explicit IParticleContainer(ParticleContainerType type) : m_eType(type) {}
    IParticleContainer(const IParticleContainer&) = delete;
    IParticleContainer& operator=(const IParticleContainer&) = delete;
    virtual ~IParticleContainer();

    // Binds to the system and empties; the capacity is the pool's business.
    virtual void Init(IParticleSystem* pSystem, unsigned int capacity);
    virtual unsigned int GetActiveParticle() = 0;
    // The new particle comes under the cursor; null when none can be had.
    virtual IParticle* InsertBeforeCurrent() = 0;
    // Null when no particle can be had.
    virtual IParticle* Push() = 0;
    // Retires the current particle and returns the one now under the cursor.
    virtual IParticle* PopCurrent() = 0;
    virtual IParticle* First() = 0;
    virtual IParticle* Next() = 0;
    virtual IParticle* Current() = 0;
    // Farthest from the camera first, for back-to-front blending.
    virtual void Sort() = 0;
    virtual void Resize(unsigned int capacity) = 0;
    virtual void Clear() = 0;
    virtual CString GetTypeName() const = 0;
    // Passes the event to every live particle.
    virtual void OnTimer(IPSTimer::TimerEnums type);

    ParticleContainerType GetParticleContainerType() const { return m_eType; }

protected:
    IParticleSystem* m_pParticleSystem = nullptr;  // set by Init; not owned
    ParticleContainerType m_eType;
};

namespace detail {

// The live particles of a container in order, walked by a cursor. A
// retirement during a walk only leaves a hole behind the cursor; kept
// particles slide down over the holes as the walk passes them, so k
// retirements among N cost O(N + k) and never reorder the survivors.
// Physically: [0, write) kept, [write, cursor) holes, [cursor, end) unvisited.
class PYRELUNE_API CLiveList {
public:
    unsigned Count() const { return static_cast<unsigned>(m_write + m_entries.size() - m_cursor); }
    IParticle* First();
    IParticle* Next();
    IParticle* Current() const { return m_cursor < m_entries.size() ? m_entries[m_cursor] : nullptr; }
    // Takes the current particle out and returns it; the caller disposes of it.
    IParticle* TakeCurrent();
    void InsertBeforeCurrent(IParticle* pParticle);
    void PushBack(IParticle* pParticle);
    // Closes the holes; O(1) when there are none.
    void Compact();
    // Compacted entries, for sorting.
    std::vector<IParticle*>& Entries();
    // Destroys the particles from position first on.
    void DeleteFrom(unsigned first);
    void Reserve(unsigned capacity) { m_entries.reserve(capacity); }
    // A walk prefetches at least particleBytes from the start of each
    // particle, or groupBytes (its updater and curves too) while it ages them.
    void WidenPrefetch(size_t particleBytes, size_t groupBytes) {
        m_particleBytes = std::max(m_particleBytes, std::min(particleBytes, kMaxPrefetchBytes));
        m_groupBytes = std::max(m_groupBytes, std::min(groupBytes, kMaxPrefetchBytes));
    }
    void PrefetchWholeGroups(bool whole) { m_bWholeGroups = whole; }

private:
    static constexpr size_t kPrefetchDistance = 8;  // particles ahead of the cursor
    static constexpr size_t kCacheLineBytes = 64;
    static constexpr size_t kMaxPrefetchBytes = 16 * kCacheLineBytes;

    // Always inlined: the compiler sees no effect in a prefetch and would drop
    // a call to a function that only prefetches.
    [[gnu::always_inline]] inline void PrefetchAhead() const;
    void FinishWalkAtEnd();

    std::vector<IParticle*> m_entries;
    size_t m_write = 0;
    size_t m_cursor = 0;
    // From the particle's start; one line unless a pool widened them.
    size_t m_particleBytes = 1;
    size_t m_groupBytes = 1;
    bool m_bWholeGroups = false;
};

// Spare particles of a pool in list order: births take the front, retirements
// join the back, an insertion takes the back. A ring, so each is O(1).
class PYRELUNE_API CSpareRing {
public:
    unsigned Count() const { return m_count; }
    void SetCapacity(unsigned capacity);
    IParticle* TakeFront();
    IParticle* TakeBack();
    void PushBack(IParticle* pParticle);
    // Destroys the spares from position first on.
    void DeleteFrom(unsigned first);

private:
    size_t Slot(size_t index) const { return (m_head + index) % m_slots.size(); }

    std::vector<IParticle*> m_slots;
    size_t m_head = 0;
    unsigned m_count = 0;
};

// Sorts particles farthest from the camera first, each distance computed once.
class PYRELUNE_API CDepthSorter {
public:
    void Sort(std::vector<IParticle*>& particles, const IParticleSystem* pSystem);

private:
    std::vector<std::pair<float, IParticle*>> m_keyed;  // scratch, kept between sorts
};

}  // namespace detail

// Makes a particle per birth and destroys it at its death: simple, but it
// allocates in the frame loop.
class PYRELUNE_API CSimpleParticleContainer : public IParticleContainer {
public:
    CSimpleParticleContainer();
    ~CSimpleParticleContainer() override;

    unsigned int GetActiveParticle() override;
    IParticle* InsertBeforeCurrent() override;
    IParticle* Push() override;
    IParticle* PopCurrent() override;
    IParticle* First() override;
    IParticle* Next() override;
    IParticle* Current() override;
    void Sort() override;
    // Only shrinks: the list grows on demand.
    void Resize(unsigned int capacity) override;
    void Clear() override;
    CString GetTypeName() const override;

private:
    detail::CLiveList m_live;
    detail::CDepthSorter m_sorter;
};

// Makes every particle up front and recycles them: births and deaths only move
// pointers, and nothing is allocated between Init and the next Resize.
class PYRELUNE_API CPoolParticleContainer : public IParticleContainer {
public:
    CPoolParticleContainer();
    ~CPoolParticleContainer() override;

    // Empties, then makes capacity spare particles.
    void Init(IParticleSystem* pSystem, unsigned int capacity) override;
    unsigned int GetActiveParticle() override;
    IParticle* InsertBeforeCurrent() override;
    IParticle* Push() override;
    IParticle* PopCurrent() override;
    IParticle* First() override;
    IParticle* Next() override;
    IParticle* Current() override;
    void Sort() override;
    // Keeps the first capacity particles of the list (live ones first).
    void Resize(unsigned int capacity) override;
    void Clear() override;
    CString GetTypeName() const override;

    // While set, walks also prefetch each particle's updater and curves; the
    // system sets it around the walk that ages the particles. Other walks
    // read the particles only.
    void SetAgingWalk(bool aging) { m_live.PrefetchWholeGroups(aging); }

private:
    void Shrink(unsigned int capacity);
    void Grow(unsigned int capacity);

    detail::CLiveList m_live;
    detail::CSpareRing m_spares;
    detail::CDepthSorter m_sorter;
};

// ==== Particle system interface ====

enum ParticleSystemType {
    PST_BILLBOARD = 0,
    PST_POINTSPRITE = 1,
    PST_MESH = 2,
};

// The base of the three particle-system kinds. A system names its emitter,
// parameter set and texture and resolves the names through its manager on
// every use, so replacing a piece in a registry takes effect at once. It
// owns its container, its two state stacks and its debug buffers.
class PYRELUNE_API IParticleSystem : public ITransformObject, public IPSTimer, public CDeviceRestorable {
public:
    IParticleSystem(CParticleSystemManager* pManager, ParticleSystemType type);
    // The caller has taken the type word off the archive. No names, no
    // container and no timeline: the host supplies them.
    IParticleSystem(CParticleSystemManager* pManager, ParticleSystemType type, CArchive& ar);
    IParticleSystem(const IParticleSystem&) = delete;  // duplicate through the archive record
    IParticleSystem& operator=(const IParticleSystem&) = delete;
    ~IParticleSystem() override;

    // Table of the transform base, in slot order.
    void SetMatrix(const D3DXMATRIX& matrix) override { m_matrix = matrix; }
    D3DXMATRIX GetMatrix() const override { return m_matrix; }

protected:
    virtual void PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                           SParticleSystemRenderProperties* pProperties) const;
    virtual void RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                                 SParticleSystemRenderProperties* pProperties) const;
    virtual void PostRender(const D3DXMATRIXA16& matrix, bool useWorld) const;
    // Draws the parameter set's around axis and a ring round its around point.
    void RenderAroundAxisAndPoint() const;

public:
    virtual void Init(const Vastrel::Utils::CMyXMLNode* pNode);
    // For a system without a container: takes pContainer without releasing one held.
    virtual void Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
                      unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
                      const CString& texture);
    virtual IParticle* CreateParticle();
    virtual void Render(const D3DXMATRIXA16& matrix, bool useWorld,
                        SParticleSystemRenderProperties* pProperties) const;
    // False once the system has finished; its manager then deletes it.
    virtual bool Update(float dt, const D3DXMATRIXA16& world, bool useWorld);
    virtual void EmitParticle(IEmitter* pEmitter);
    virtual void SortingParticles();
    virtual void Save(Vastrel::Utils::CMyXMLNode* pNode) const;
    virtual bool Resize() = 0;
    virtual bool BeginReset() = 0;
    virtual bool EndReset() = 0;

    // Timeline base.
    void OnTimer(const TimerProps& props, float lateness) override;

    // Device-restorable base.
    void OnLostDevice() override;
    void OnRestoreDevice() override;

    // Lookups through the manager's registries; null for a name not registered.
    IEmitter* GetEmitter();
    const IEmitter* GetEmitter() const;
    IParticleSystemParams* GetParticleParams();
    const IParticleSystemParams* GetParticleParams() const;
    CStandardParticleSystemParams* GetStandardParticleParams();
    const CStandardParticleSystemParams* GetStandardParticleParams() const;
    ITexture* GetTexture();
    const ITexture* GetTexture() const;

    void StartEmit();
    void StopEmit();
    unsigned int GetParticleCount() const;

    void SetEmitter(const CString& name) { m_strEmitterName = name; }
    void SetParticleSystemParams(const CString& name) { m_strParamsName = name; }
    void SetTexture(const CString& name) { m_strTextureName = name; }
    void SetMaxParticle(unsigned int maxParticle);
    void SetEmitPerSec(float emitPerSec) { m_fEmitPerSec = emitPerSec; }
    void SetParticlePerEmit(unsigned int particlePerEmit) { m_nParticlePerEmit = particlePerEmit; }
    void ShowEmitter(bool show) { m_bShowEmitter = show; }
    void EnableAlphaBlend(bool enable) { m_bAlphaBlend = enable; }
    void SetSrcBlend(DWORD blend) { m_dwSrcBlend = blend; }
    void SetDestBlend(DWORD blend) { m_dwDestBlend = blend; }
    void SetSortingParticles(bool sorting) { m_bSorting = sorting; }
    void SetDistortSpace(bool distort) { m_bDistortSpace = distort; }
    void SetRecieveShadow(bool receive) { m_bRecieveShadow = receive; }
    void SetNeedRender(bool needRender) { m_bNeedRender = needRender; }
    void SetNeedUpdate(bool needUpdate) { m_bNeedUpdate = needUpdate; }
    void SetLife(bool life) { m_bLife = life; }
    // A zero vector is ignored; any other is stored normalised.
    void SetAxis(const D3DXVECTOR3& axis);
    void SetTargetPoint(const D3DXVECTOR3& point) { m_vTargetPoint = point; }
    void SetScale(float scale) { m_fScale = scale; }
    // Destroys the held container and binds the new one (if any) to this system.
    void SetParticleContainer(IParticleContainer* pContainer);

    unsigned int GetMaxParticle() const { return m_nMaxParticle; }
    float GetEmitPerSec() const { return m_fEmitPerSec; }
    unsigned int GetParticlePerEmit() const { return m_nParticlePerEmit; }
    bool IsNeedEmit() const { return m_bNeedEmit; }
    bool IsShowEmitter() const { return m_bShowEmitter; }
    bool IsEnabledAlphaBlend() const { return m_bAlphaBlend; }
    DWORD GetSrcBlend() const { return m_dwSrcBlend; }
    DWORD GetDestBlend() const { return m_dwDestBlend; }
    bool GetSortingParticles() const { return m_bSorting; }
    bool GetDistortSpace() const { return m_bDistortSpace; }
    bool GetRecieveShadow() const { return m_bRecieveShadow; }
    bool IsNeedRender() const { return m_bNeedRender; }
    bool IsNeedUpdate() const { return m_bNeedUpdate; }
    bool IsLife() const { return m_bLife; }
    const D3DXVECTOR3& GetAxis() const { return m_vAxis; }
    const D3DXVECTOR3& GetTargetPoint() const { return m_vTargetPoint; }
    float GetScale() const { return m_fScale; }
    CParticleSystemManager* GetManager() const { return m_pManager; }
    IParticleContainer* GetParticleContainer() { return m_pContainer; }
    const IParticleContainer* GetParticleContainer() const { return m_pContainer; }
    ParticleSystemType GetParticleSystemType() const { return m_eType; }
    int GetParticleSystemIntType() const { return m_eType; }

    // (Re)creates the two debug vertex buffers.
    void CreateBuffers();
    // The type word, then the shared record; the kind's own fields follow it.
    void Copy(CArchive& ar) const;

    // Largest cap accepted; larger ones (a "-1" read as four billion) are
    // reported and ignored, since the pool makes every particle up front.
    static const unsigned int kMaxParticleLimit = 1u << 22;

protected:
    CParticleSystemManager* m_pManager;  // owns this system
    CString m_strEmitterName;
    CString m_strParamsName;
    CString m_strTextureName;  // empty: untextured
    IParticleContainer* m_pContainer = nullptr;  // owned
    ParticleSystemType m_eType;
    D3DXMATRIX m_matrix;
    unsigned int m_nMaxParticle = 0;
    unsigned int m_nParticlePerEmit = 0;
    float m_fEmitPerSec = 0.0f;
    bool m_bNeedEmit = false;
    bool m_bShowEmitter = false;
    float m_fEmitRemainder = 0.0f;  // fraction of an emission carried to the next update
    bool m_bAlphaBlend = true;
    DWORD m_dwSrcBlend = D3DBLEND_SRCALPHA;
    DWORD m_dwDestBlend = D3DBLEND_INVSRCALPHA;
    bool m_bSorting = false;
    bool m_bDistortSpace = false;
    bool m_bRecieveShadow = false;
    bool m_bNeedRender = true;
    bool m_bNeedUpdate = true;
    CRenderStateStack* m_pRenderStateStack;               // owned
    CTextureStageStateStack* m_pTextureStageStateStack;   // owned
    bool m_bLife = true;  // false: no births; the system finishes when its last particle dies
    D3DXVECTOR3 m_vAxis{0.0f, 1.0f, 0.0f};
    D3DXVECTOR3 m_vTargetPoint{0.0f, 0.0f, 0.0f};
    IDirect3DVertexBuffer9* m_pAxisVB = nullptr;    // 2 vertices, debug line
    IDirect3DVertexBuffer9* m_pAroundVB = nullptr;  // 36 vertices, debug ring
    float m_fScale = 1.0f;

private:
    // Update phases.
    void RebindStaleParticles();
    void Emit(float dt, IEmitter* pEmitter, const D3DXMATRIXA16& world, bool useWorld);
    unsigned int DueBirths(float dt);
    void RefreshParamsRotation(float dt);
    void AgeParticles(float dt);
    // Document reading.
    void ReadAttributes(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadChild(const Vastrel::Utils::CMyXMLNode* pChild);
    void ReadBlend(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadParamsChild(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadEmitterChild(const Vastrel::Utils::CMyXMLNode* pNode);
    void ReadTextureChild(const Vastrel::Utils::CMyXMLNode* pNode);
    void SaveChildren(Vastrel::Utils::CMyXMLNode* pNode) const;
    // False, with a report, for a cap above kMaxParticleLimit.
    bool IsAcceptableCap(long long maxParticle, long line) const;
    // Drawing.
    void ChooseTechnique(SParticleSystemRenderProperties* pProperties) const;
    bool ShowsAroundAxis() const;
    void FillAroundBuffers() const;

    std::uint32_t m_paramsGeneration;  // ParamsGeneration when the particles were last bound
};
