// CMyLog: a named text log, and the library's engine log.
#pragma once

#include "platform/cstring.h"
#include "UtilsSrc/cmyfile.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// This build accepts every entry and discards it: no file is opened, so a
// log can never fail its caller or write where the host did not ask.
class PYRELUNE_API CMyLog {
public:
    explicit CMyLog(const char* name);

    void Add(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    CString m_name;
    CMyFile m_file;  // stays closed while entries are discarded
};

// The engine's general log, "logs/vastrel.log"; lives from library load to
// unload.
extern PYRELUNE_API CMyLog engineLog;

}  // namespace Utils
}  // namespace Vastrel
