// Limits on untrusted DirectX .x files. Every other count in a file is checked
// against the bytes or values that are actually left before anything is
// reserved, so these only bound what a well-formed file could still demand.
#pragma once

#include <cstddef>

namespace xfile {

// The whole file is read into memory; larger meshes are not what we ship.
constexpr size_t kMaxFileBytes = size_t{64} << 20;

// Objects nest this deep at most; keeps the recursive parser off the stack's end.
constexpr int kMaxNestingDepth = 64;

}  // namespace xfile
