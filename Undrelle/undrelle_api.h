// Symbol visibility for the Undrelle water library.
#pragma once

#if defined(UNDRELLE_BUILD)
#define UNDRELLE_API __attribute__((visibility("default")))
#else
#define UNDRELLE_API
#endif
