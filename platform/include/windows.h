// The Windows API subset that the libraries use.
#pragma once

#include "platform/messagebox.h"
#include "platform/perfcounter.h"
#include "platform/resources.h"
#include "platform/wintypes.h"
