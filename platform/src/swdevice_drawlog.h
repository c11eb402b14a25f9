// The per-device record of validated draws, capped by the settings' drawLogLimit.
#pragma once

#include <deque>
#include <vector>

#include "platform/swdevice.h"

namespace swdevice::detail {

class DrawLog {
public:
    void Add(const DrawRecord& record);
    std::vector<DrawRecord> Copy() const { return {m_records.begin(), m_records.end()}; }
    void Clear() { m_records.clear(); }

private:
    std::deque<DrawRecord> m_records;
};

}  // namespace swdevice::detail
