#include "UtilsSrc/ctickmanager.h"

#include <ctime>

#include "platform/perfcounter.h"

namespace Vastrel {
namespace Utils {

namespace {

LONGLONG CounterFrequency() {
    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

// Split into whole seconds and the rest so that counts * 1000 cannot
// overflow however long the machine has been up.
DWORD CountsToMilliseconds(LONGLONG counts, LONGLONG frequency) {
    const LONGLONG seconds = counts / frequency;
    const LONGLONG rest = counts % frequency;
    return static_cast<DWORD>(seconds * 1000 + rest * 1000 / frequency);
}

}  // namespace

CTickManager::CTickManager(DWORD interval)
    : m_interval(interval), m_frequency(CounterFrequency()) {
    Reset();
}

DWORD CTickManager::GetCurrentTick() const { return Now(); }

DWORD CTickManager::GetElapsedTime() {
    const DWORD now = Now();
    const DWORD elapsed = now - m_current;
    m_current = now;
    return elapsed;
}

bool CTickManager::Get() {
    const DWORD now = Now();
    if (now - m_last <= m_interval) return false;
    m_previous = m_last;
    m_last = now;
    return true;
}

void CTickManager::Reset() { m_current = m_last = m_previous = Now(); }

DWORD CTickManager::GetManagerElapsedTime() const { return m_last - m_previous; }

void CTickManager::Set(DWORD interval) { m_interval = interval; }

DWORD CTickManager::GetSetting() const { return m_interval; }

void CTickManager::Delay(DWORD ms) {
    // clock() is processor time, which is what a busy wait spends.
    const std::clock_t wait =
        static_cast<std::clock_t>(detail::DelayMilliseconds(ms)) * CLOCKS_PER_SEC / 1000;
    const std::clock_t start = std::clock();
    if (start == static_cast<std::clock_t>(-1)) return;
    while (std::clock() - start < wait) {
    }
}

DWORD CTickManager::Now() const {
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    return CountsToMilliseconds(counter.QuadPart, m_frequency);
}

}  // namespace Utils
}  // namespace Vastrel
