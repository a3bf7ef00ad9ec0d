#pragma once
#include <cstdio>

#include "HexFault.h"
#include "HexImage.h"

namespace qb480 {

// Reads records from the stream into the image up to the end-of-file record,
// in one pass; nothing after that record is read.
HexOutcome ReadHexImage(std::FILE* in, CHexImage& image);

}  // namespace qb480
