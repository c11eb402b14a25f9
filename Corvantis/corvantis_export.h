// Symbol visibility for the Corvantis guard library.
#pragma once

#if defined(CORVANTIS_BUILD)
#define CORVANTIS_API __attribute__((visibility("default")))
#else
#define CORVANTIS_API
#endif
