// The error report: how every part of the library reports bad input.
//
// A report loads its message from the library's string table, formats it with
// the caller's arguments into a CVastrelException, prints that record to the
// assert log with the prefix "Assert:", writes one line
// "Assert: <file>(<line>): <description>" to standard error (the logs keep
// nothing in this build, and hosts' users should see load problems), and
// passes it to the host's hook. The caller then carries on.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Receives every report. messageId is the string-table id, or 0 for reports
// whose text is not in the table (the allocation tracker's).
typedef void (*ErrorReportHook)(const char* sourceFile, long line, int messageId,
                                const char* description, void* user);

// Installs the hook and the pointer passed back to it; null switches it off.
PYRELUNE_API void SetErrorReportHook(ErrorReportHook hook, void* user);

// Reports string-table message messageId, formatted with the arguments.
PYRELUNE_API void ReportError(const char* sourceFile, long line, int messageId, ...);

// String-table entry id of the "Pyrelune" module; empty when absent.
PYRELUNE_API CString LoadMessage(UINT id);

namespace detail {

// Reports a message given as text rather than by id; it reaches the hook with
// id 0. For the library's own reports only.
void ReportText(const char* sourceFile, long line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace detail

}  // namespace Utils
}  // namespace Vastrel
