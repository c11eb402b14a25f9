#include "platform/messagebox.h"

#include <cstdio>

namespace {

// The host's message-box hook and its user data; null means standard error.
MessageBoxHook g_hook = nullptr;
void* g_user = nullptr;

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook, void* user) {
    g_hook = hook;
    g_user = user;
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (g_hook) return g_hook(hWnd, lpText, lpCaption, uType, g_user);
    std::fprintf(stderr, "[%s] %s\n", lpCaption ? lpCaption : "", lpText ? lpText : "");
    return IDOK;
}
