// Internal readers of the software device's settings (platform/swdevice.h).
#pragma once

#include "platform/swdevice.h"

namespace swdevice::detail {

// D3DUSAGE_QUERY_* bits only ask about a format and never restrict it.
constexpr DWORD kQueryUsages = 0x003F8000;

bool IsFormatAccepted(D3DRESOURCETYPE type, DWORD usage, D3DFORMAT format);

// S_OK, or the injected failure for a creation of that ResourceKind.
HRESULT TakeCreationFault(ResourceKind kind);

}  // namespace swdevice::detail
