// MessageBoxA stand-in. There is no desktop here: by default the message is
// written to standard error; a host can route it elsewhere with a hook.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1

// Receives every message box; returns what MessageBoxA returns.
typedef int (*MessageBoxHook)(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType, void* user);

// Installs the hook (null restores the standard-error default).
PLATFORM_API void SetMessageBoxHook(MessageBoxHook hook, void* user);

PLATFORM_API int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
