#pragma once

namespace qb480 {

// Why a conversion failed; the caller of ConvertHexToBinary only sees 1.
enum class HexFault {
    None,
    CannotOpenInput,
    OutOfMemory,
    ReadError,
    NotARecord,          // a line that is neither a comment nor a record (a blank line too)
    BadHeader,           // count, address or type missing or not hexadecimal
    ShortRecord,         // the line ends before its data and checksum do
    BadDigit,            // a data or checksum character is not hexadecimal
    BadChecksum,
    BadExtendedAddress,  // a type 04 record without four hexadecimal digits
    UnsupportedType,
    ImageTooLarge,
    NoEndRecord,
    CannotCreateOutput,
    ShortWrite,
    CannotReplaceOutput,
};

struct HexOutcome {
    HexFault fault = HexFault::None;
    unsigned long line = 0;  // 1-based line of the fault; 0 when no line is involved
};

const char* HexFaultName(HexFault fault);

}  // namespace qb480
