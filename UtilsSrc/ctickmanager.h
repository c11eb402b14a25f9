// CTickManager: a millisecond tick counter with a fixed interval.
#pragma once

#include "platform/wintypes.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Readings are milliseconds of the monotonic high-resolution counter, kept in
// a DWORD; differences are taken modulo 2^32, so the wrap after 49.7 days is
// harmless for intervals shorter than that.
class PYRELUNE_API CTickManager {
public:
    explicit CTickManager(DWORD interval);
    virtual ~CTickManager() = default;

    DWORD GetCurrentTick() const;
    // Milliseconds since the previous call (or since construction or Reset).
    DWORD GetElapsedTime();
    // True, and a new tick taken, once more than the interval has passed
    // since the last tick.
    bool Get();
    void Reset();
    // Milliseconds between the last two ticks.
    DWORD GetManagerElapsedTime() const;
    void Set(DWORD interval);
    DWORD GetSetting() const;
    // Busy-waits: requests of 50 ms or more are divided by 20 until they are
    // below 50, so Delay(50) and Delay(1000) both wait 2 ms.
    static void Delay(DWORD ms);

protected:
    // The clock every reading comes from; tests substitute their own.
    virtual DWORD Now() const;

private:
    DWORD m_current;
    DWORD m_last;
    DWORD m_previous;
    DWORD m_interval;
    LONGLONG m_frequency;  // counts per second
};

namespace detail {

// The milliseconds Delay(ms) actually waits.
inline DWORD DelayMilliseconds(DWORD ms) {
    while (ms >= 50) ms /= 20;
    return ms;
}

}  // namespace detail

}  // namespace Utils
}  // namespace Vastrel
