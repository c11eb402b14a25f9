// Construction order of the library's globals at load. The logs come first
// and the allocation tracker after them, so the tracker can still report
// while it is destroyed at unload (destruction runs in reverse).
#pragma once

#define PYRELUNE_INIT_LOGS __attribute__((init_priority(200)))
#define PYRELUNE_INIT_TRACKER __attribute__((init_priority(210)))
