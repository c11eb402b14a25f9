// The MFC subset that the libraries use: CString, files and the archive classes.
#pragma once

#include "platform/carchive.h"
#include "platform/cfile.h"
#include "platform/cstring.h"
