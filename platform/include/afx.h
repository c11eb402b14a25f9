// The MFC subset that the libraries use: CString and the archive classes.
#pragma once

#include "platform/cstring.h"
#if __has_include("platform/carchive.h")
#include "platform/carchive.h"
#endif
