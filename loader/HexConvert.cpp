#include "HexConvert.h"

#include <cstdio>
#include <memory>

#include "HexReader.h"
#include "ImageFile.h"

namespace qb480 {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

const char* HexFaultName(HexFault fault)
{
    switch (fault) {
    case HexFault::None:                return "none";
    case HexFault::CannotOpenInput:     return "cannot open the HEX file";
    case HexFault::OutOfMemory:         return "out of memory";
    case HexFault::ReadError:           return "read error";
    case HexFault::NotARecord:          return "line is neither a record nor a comment";
    case HexFault::BadHeader:           return "bad record header";
    case HexFault::ShortRecord:         return "record shorter than its byte count";
    case HexFault::BadDigit:            return "not a hexadecimal digit";
    case HexFault::BadChecksum:         return "bad checksum";
    case HexFault::BadExtendedAddress:  return "bad extended linear address";
    case HexFault::UnsupportedType:     return "unsupported record type";
    case HexFault::ImageTooLarge:       return "image larger than 64 MiB";
    case HexFault::NoEndRecord:         return "no end-of-file record";
    case HexFault::CannotCreateOutput:  return "cannot create the image file";
    case HexFault::ShortWrite:          return "cannot write the image file";
    case HexFault::CannotReplaceOutput: return "cannot replace the image file";
    }
    return "unknown";
}

HexOutcome ConvertHexFile(const char* hexPath, const char* imagePath, CHexImage::Growth growth)
{
    const UniqueFile in(std::fopen(hexPath, "r"));
    if (!in)
        return {HexFault::CannotOpenInput, 0};
    CHexImage image(growth);
    if (!image.Allocated())
        return {HexFault::OutOfMemory, 0};
    const HexOutcome read = ReadHexImage(in.get(), image);
    if (read.fault != HexFault::None)
        return read;
    return {ReplaceFileContents(imagePath, image.Data(), image.Size()), 0};
}

int ConvertHexToBinary(const char* hexPath, const char* imagePath)
{
    return ConvertHexFile(hexPath, imagePath).fault == HexFault::None ? 0 : 1;
}

}  // namespace qb480
