#pragma once
#include <cstddef>
#include <cstdint>

#include "HexFault.h"

namespace qb480 {

// Writes the bytes to a temporary file in the target's folder and moves it
// over the target only once it is complete, so the target is either the old
// file or the whole new one. On failure no temporary file is left behind.
HexFault ReplaceFileContents(const char* path, const std::uint8_t* bytes, std::size_t size);

}  // namespace qb480
