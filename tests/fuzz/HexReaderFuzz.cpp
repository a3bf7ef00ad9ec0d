// libFuzzer target for the HEX reader: every input is read twice, once per
// growth rule, and both results are compared with a plain model of the format
// written independently of the reader (whole-input string handling, a sparse
// map for the image). Any difference in fault, fault line or image contents,
// or a broken image invariant, aborts so libFuzzer keeps the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "HexFault.h"
#include "HexImage.h"
#include "HexReader.h"

using qb480::CHexImage;
using qb480::HexFault;
using qb480::HexOutcome;

namespace {

struct Model {
    HexFault fault = HexFault::NoEndRecord;
    unsigned long line = 0;  // the end record's line, the faulty one, or the last one
    std::map<std::uint32_t, std::uint8_t> bytes;
    std::uint64_t size = 0;
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte written as two hex digits at text[at], or -1.
int ByteAt(const std::string& text, std::size_t at)
{
    if (at + 2 > text.size())
        return -1;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Lines as the reader must see them: CR LF taken as LF, and a line longer
// than 528 characters (its LF included) continued on the next one.
std::vector<std::string> SplitLines(const std::string& input)
{
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')
            continue;
        text += input[i];
    }
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t length = std::min<std::size_t>(528, text.size() - pos);
        const std::size_t lf = text.find('\n', pos);
        if (lf != std::string::npos && lf < pos + length)
            length = lf - pos + 1;
        lines.push_back(text.substr(pos, length));
        pos += length;
    }
    return lines;
}

// The outcome of one record line: None to go on to the next line.
HexFault ModelLine(std::string text, std::uint32_t& upper, Model& model)
{
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.empty() || text[0] != ':')
        return HexFault::NotARecord;

    // count, address high, address low, type
    int header[4];
    for (int i = 0; i < 4; ++i) {
        header[i] = ByteAt(text, 1 + 2 * static_cast<std::size_t>(i));
        if (header[i] < 0)
            return HexFault::BadHeader;
    }
    const int count = header[0];
    const int type = header[3];
    if (text.size() < 1 + 2 * (4 + static_cast<std::size_t>(count) + 1))
        return HexFault::ShortRecord;
    std::vector<std::uint8_t> data;
    unsigned sum = static_cast<unsigned>(header[0] + header[1] + header[2] + header[3]);
    for (int i = 0; i <= count; ++i) {  // the data, then the checksum
        const int byte = ByteAt(text, 9 + 2 * static_cast<std::size_t>(i));
        if (byte < 0)
            return HexFault::BadDigit;
        sum += static_cast<unsigned>(byte);
        data.push_back(static_cast<std::uint8_t>(byte));
    }
    if (sum % 256 != 0)
        return HexFault::BadChecksum;

    if (type == 0x01)
        return HexFault::None;  // the caller stops here
    if (type == 0x04) {
        // the first four digits of the data field, whatever the count says
        const int high = ByteAt(text, 9);
        const int low = ByteAt(text, 11);
        if (high < 0 || low < 0)
            return HexFault::BadExtendedAddress;
        upper = static_cast<std::uint32_t>(high * 256 + low) << 16;
        return HexFault::None;
    }
    if (type != 0x00)
        return HexFault::UnsupportedType;
    if (count == 0)
        return HexFault::None;
    const std::uint64_t address = std::uint64_t{upper} + static_cast<std::uint32_t>(header[1] * 256 + header[2]);
    const std::uint64_t end = address + static_cast<std::uint64_t>(count);
    if (end > CHexImage::kMaxSize)
        return HexFault::ImageTooLarge;
    for (int i = 0; i < count; ++i)
        model.bytes[static_cast<std::uint32_t>(address + i)] = data[static_cast<std::size_t>(i)];
    model.size = std::max(model.size, end);
    return HexFault::None;
}

Model ReadModel(const std::string& input)
{
    Model model;
    std::uint32_t upper = 0;
    const std::vector<std::string> lines = SplitLines(input);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        model.line = n + 1;
        const std::string& text = lines[n];
        if (text[0] == '"' || text[0] == '#')
            continue;
        model.fault = ModelLine(text, upper, model);
        if (model.fault != HexFault::None)
            return model;
        if (ByteAt(text, 7) == 0x01)  // a valid end record
            return model;
    }
    model.fault = HexFault::NoEndRecord;
    return model;
}

bool AllZero(const std::uint8_t* bytes, std::size_t count)
{
    static const std::uint8_t kZeros[65536] = {};
    while (count > 0) {
        const std::size_t n = std::min(count, sizeof kZeros);
        if (std::memcmp(bytes, kZeros, n) != 0)
            return false;
        bytes += n;
        count -= n;
    }
    return true;
}

void CheckImage(const CHexImage& image, const Model& model, const char* rule)
{
    FUZZ_CHECK(image.Size() == model.size, "%s: size %zu, model %llu", rule, image.Size(),
               static_cast<unsigned long long>(model.size));
    std::size_t next = 0;  // bytes before it are checked
    for (const auto& [address, byte] : model.bytes) {
        FUZZ_CHECK(AllZero(image.Data() + next, address - next), "%s: a byte in [%zu, %u) is not 0", rule, next,
                   address);
        FUZZ_CHECK(image.Data()[address] == byte, "%s: byte %u is %02X, model %02X", rule, address,
                   image.Data()[address], byte);
        next = address + 1;
    }
    FUZZ_CHECK(AllZero(image.Data() + next, image.Size() - next), "%s: a byte after %zu is not 0", rule, next);
}

void CheckRead(const std::string& input, const Model& model, CHexImage::Growth growth, const char* rule)
{
    CHexImage image(growth);
    FUZZ_CHECK(image.Allocated(), "%s", rule);
    std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (!in)
        return;  // the harness could not set up the stream; nothing to test
    const HexOutcome outcome = qb480::ReadHexImage(in, image);
    std::fclose(in);

    FUZZ_CHECK(image.Size() <= image.Capacity() && image.Capacity() <= CHexImage::kMaxSize,
               "%s: size %zu, capacity %zu", rule, image.Size(), image.Capacity());
    FUZZ_CHECK(outcome.fault == model.fault && outcome.line == model.line,
               "%s: \"%s\" on line %lu, model \"%s\" on line %lu", rule, qb480::HexFaultName(outcome.fault),
               outcome.line, qb480::HexFaultName(model.fault), model.line);
    if (outcome.fault == HexFault::None)
        CheckImage(image, model, rule);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const Model model = ReadModel(input);
    CheckRead(input, model, CHexImage::Growth::Steps, "steps");
    CheckRead(input, model, CHexImage::Growth::Geometric, "geometric");
    return 0;
}
