// Limits on untrusted input read by the foundation utilities, one place for
// all of them so that they can be reviewed together.
#pragma once

#include <cstddef>

namespace Vastrel {
namespace Utils {
namespace InputLimits {

// Largest XML document read into memory; definition documents are a few MB.
constexpr std::size_t kMaxDocumentBytes = 64u * 1024u * 1024u;

// Most attributes on one element; libxml2 2.9 checks duplicates in quadratic
// time, so a hostile element with a million attributes would stall the load.
constexpr std::size_t kMaxAttributesPerElement = 1024;

}  // namespace InputLimits
}  // namespace Utils
}  // namespace Vastrel
