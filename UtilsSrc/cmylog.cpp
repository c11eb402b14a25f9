#include "UtilsSrc/cmylog.h"

#include "UtilsSrc/initorder.h"

namespace Vastrel {
namespace Utils {

CMyLog::CMyLog(const char* name) : m_name(name) {}

void CMyLog::Add(const char* /*format*/, ...) {}

CMyLog engineLog PYRELUNE_INIT_LOGS("logs/vastrel.log");

}  // namespace Utils
}  // namespace Vastrel
