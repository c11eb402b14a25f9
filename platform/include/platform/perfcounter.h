// The high-resolution counter: a monotonic clock counted in nanoseconds.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

PLATFORM_API BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
PLATFORM_API BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
