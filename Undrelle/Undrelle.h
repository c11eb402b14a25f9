// The water library's public header: CWaveGenerator and the noise it animates.
#pragma once

#include "WaveGenerator.h"
