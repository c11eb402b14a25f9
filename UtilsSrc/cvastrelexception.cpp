#include "UtilsSrc/cvastrelexception.h"

#include <cstdarg>

#include "UtilsSrc/initorder.h"

namespace Vastrel {
namespace Utils {

CMyLog CVastrelException::gErr PYRELUNE_INIT_LOGS("./logs/assert.txt");

CVastrelException::CVastrelException(const CString& sourceFile, long line, const char* format, ...)
    : m_sourceFile(sourceFile), m_line(line) {
    va_list args;
    va_start(args, format);
    m_description.FormatV(format, args);
    va_end(args);
    if (m_description.GetLength() > kMaxDescription) {
        m_description = m_description.Left(kMaxDescription);
    }
}

CString CVastrelException::GetSourceFile() const { return m_sourceFile; }

CString CVastrelException::GetErrorString() const { return m_description; }

long CVastrelException::GetLineNumber() const { return m_line; }

void CVastrelException::Print(const CString& prefix) {
    gErr.Add("%s", prefix.GetString());
    gErr.Add("\tFileName: %s", m_sourceFile.GetString());
    gErr.Add("\tLineNumber: %ld", m_line);
    gErr.Add("\tDescription: %s\n", m_description.GetString());
}

}  // namespace Utils
}  // namespace Vastrel
