#include "HexReader.h"

#include "HexLineReader.h"
#include "HexRecord.h"

namespace qb480 {

HexOutcome ReadHexImage(std::FILE* in, CHexImage& image)
{
    CHexLineReader reader(in);
    HexRecord record;
    std::uint32_t upperAddress = 0;
    unsigned long lineNumber = 0;
    std::string_view line;
    while (reader.Next(line)) {
        ++lineNumber;
        if (line[0] == '"' || line[0] == '#')
            continue;
        if (line[0] != ':')
            return {HexFault::NotARecord, lineNumber};
        if (const HexFault fault = DecodeRecord(line, record); fault != HexFault::None)
            return {fault, lineNumber};

        switch (static_cast<HexRecordType>(record.type)) {
        case HexRecordType::Data:
            if (const HexFault fault = image.Store(upperAddress + record.address, record.bytes, record.count);
                fault != HexFault::None)
                return {fault, lineNumber};
            break;
        case HexRecordType::EndOfFile:
            return {HexFault::None, lineNumber};
        case HexRecordType::ExtendedLinearAddress: {
            std::uint16_t upper = 0;
            if (const HexFault fault = DecodeExtendedAddress(line, upper); fault != HexFault::None)
                return {fault, lineNumber};
            upperAddress = std::uint32_t{upper} << 16;
            break;
        }
        default:
            return {HexFault::UnsupportedType, lineNumber};
        }
    }
    return {reader.Failed() ? HexFault::ReadError : HexFault::NoEndRecord, lineNumber};
}

}  // namespace qb480
