// Symbol visibility for the Pyrelune library; every exported class carries it.
#pragma once

#if defined(PYRELUNE_BUILD)
#define PYRELUNE_API __attribute__((visibility("default")))
#else
#define PYRELUNE_API
#endif
