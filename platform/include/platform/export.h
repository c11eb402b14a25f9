// Symbol visibility for the platform layer's shared library.
#pragma once

#if defined(PYRELUNE_PLATFORM_BUILD)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API
#endif
