#include "swdevice_drawlog.h"

namespace swdevice::detail {

void DrawLog::Add(const DrawRecord& record) {
    const size_t limit = g_settings.drawLogLimit;
    if (limit == 0) return;
    while (m_records.size() >= limit) m_records.pop_front();
    m_records.push_back(record);
}

}  // namespace swdevice::detail
