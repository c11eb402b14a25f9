#include "UtilsSrc/errorreport.h"

#include <cstdarg>
#include <cstdio>

#include "platform/resources.h"
#include "UtilsSrc/cvastrelexception.h"

namespace Vastrel {
namespace Utils {

namespace {

struct HookSlot {
    ErrorReportHook hook;
    void* user;
};

// The host's error-report hook: set by SetErrorReportHook, called by every
// report. Process-wide and not locked, like the rest of the library: install
// it from the rendering thread. Swap hooks by calling SetErrorReportHook again.
HookSlot g_errorReportHook = {nullptr, nullptr};

const char* const kModuleName = "Pyrelune";
const char* const kReportPrefix = "Assert:";

void Publish(const char* sourceFile, long line, int messageId, const CString& description) {
    CVastrelException record(sourceFile, line, "%s", description.GetString());
    record.Print(kReportPrefix);
    const CString text = record.GetErrorString();
    std::fprintf(stderr, "%s %s(%ld): %s\n", kReportPrefix, sourceFile, line, text.GetString());
    if (g_errorReportHook.hook) {
        g_errorReportHook.hook(sourceFile, line, messageId, text, g_errorReportHook.user);
    }
}

void PublishV(const char* sourceFile, long line, int messageId, const char* format,
              va_list args) {
    CString description;
    description.FormatV(format, args);
    Publish(sourceFile, line, messageId, description);
}

}  // namespace

void SetErrorReportHook(ErrorReportHook hook, void* user) {
    g_errorReportHook = {hook, hook ? user : nullptr};
}

void ReportError(const char* sourceFile, long line, int messageId, ...) {
    const CString message = LoadMessage(static_cast<UINT>(messageId));
    va_list args;
    va_start(args, messageId);
    PublishV(sourceFile, line, messageId, message, args);
    va_end(args);
}

CString LoadMessage(UINT id) {
    CString message;
    message.LoadString(GetModuleHandleA(kModuleName), id);
    return message;
}

namespace detail {

void ReportText(const char* sourceFile, long line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    PublishV(sourceFile, line, 0, format, args);
    va_end(args);
}

}  // namespace detail

}  // namespace Utils
}  // namespace Vastrel
