// CVastrelException: the record of one error report.
#pragma once

#include "platform/cstring.h"
#include "UtilsSrc/cmylog.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Built, printed and dropped on the spot; never thrown. Reports are made
// through ReportError (errorreport.h), which builds one of these.
class PYRELUNE_API CVastrelException {
public:
    // Longest description kept; longer text is cut to this many characters.
    static constexpr int kMaxDescription = 1023;

    // The format is a C string rather than a CString because va_start needs a
    // plain last parameter; a CString converts to it implicitly.
    CVastrelException(const CString& sourceFile, long line, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    virtual ~CVastrelException() = default;

    virtual CString GetSourceFile() const;
    virtual CString GetErrorString() const;
    virtual long GetLineNumber() const;
    // Adds the prefix, the file, the line and the description to gErr.
    virtual void Print(const CString& prefix);

    // The assert log, "./logs/assert.txt"; lives from library load to unload.
    static CMyLog gErr;

private:
    CString m_sourceFile;
    CString m_description;
    long m_line;
};

}  // namespace Utils
}  // namespace Vastrel
