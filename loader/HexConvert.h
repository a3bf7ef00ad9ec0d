#pragma once
// Intel HEX firmware file to flat binary image.
//
// Record line: ':' count(2) address(4) type(2) data(2*count) checksum(2),
// every field hexadecimal digits of either case; the bytes from count to
// checksum sum to 0 modulo 256. Types: 00 data, 01 end of file, 04 extended
// linear address (upper 16 address bits). Lines beginning with '"' or '#' are
// comments. Nothing after the end-of-file record is read.
//
// Image byte i is the data byte at absolute address i; bytes no record
// covers are 0, and the image ends where the highest data record ends.
#include "HexFault.h"
#include "HexImage.h"

namespace qb480 {

// Converts and replaces the image file atomically: on any failure an existing
// image file keeps its contents and no partial file is left behind.
HexOutcome ConvertHexFile(const char* hexPath, const char* imagePath,
                          CHexImage::Growth growth = CHexImage::kPlatformGrowth);

// 0 on success, 1 on any failure; shows no message.
int ConvertHexToBinary(const char* hexPath, const char* imagePath);

}  // namespace qb480
