#include "HexConvert.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "HexText.h"
#include "TempFolder.h"
#ifndef _WIN32
#include "LibcFaults.h"
#endif

using qb480::ConvertHexFile;
using qb480::ConvertHexToBinary;
using qb480::HexFault;
using qb480::HexFaultName;
using qb480::HexOutcome;

namespace {

class HexConvert : public ::testing::Test {
protected:
    HexOutcome Convert(const std::string& hexText)
    {
        m_folder.Write("fw.hex", hexText);
        return ConvertHexFile(m_folder.Path("fw.hex").c_str(), m_folder.Path("fw.bin").c_str());
    }

    std::string Image() const { return m_folder.Read("fw.bin"); }

    static std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

    CTempFolder m_folder;
};

void ExpectFault(const HexOutcome& outcome, HexFault fault, unsigned long line, const char* what)
{
    EXPECT_EQ(outcome.fault, fault) << what << ": got \"" << HexFaultName(outcome.fault) << "\" on line "
                                    << outcome.line;
    EXPECT_EQ(outcome.line, line) << what;
}

void ExpectConverted(const HexOutcome& outcome, const char* what)
{
    EXPECT_EQ(outcome.fault, HexFault::None) << what << ": got \"" << HexFaultName(outcome.fault) << "\" on line "
                                             << outcome.line;
}

}  // namespace

TEST_F(HexConvert, EndRecordAloneGivesAnEmptyImage)
{
    ExpectConverted(Convert(kEndLine), "end record only");
    ASSERT_TRUE(m_folder.Exists("fw.bin"));
    EXPECT_EQ(Image().size(), 0u);
}

TEST_F(HexConvert, ContiguousRecordsGiveTheExactImage)
{
    std::string hex;
    std::string expected;
    for (unsigned address = 0; address < 0x8000; address += 32) {
        const auto data = Bytes(32, static_cast<std::uint8_t>(address / 32));
        hex += DataLine(address, data);
        expected += AsText(data);
    }
    ExpectConverted(Convert(hex + kEndLine), "32 KiB image");
    EXPECT_EQ(Image(), expected);
}

TEST_F(HexConvert, ExtendedAddressPlacesDataAbove64KAndFillsBelowWithZeros)
{
    const auto data = Bytes(16, 0x40);
    ExpectConverted(Convert(UpperAddressLine(1) + DataLine(0, data) + kEndLine), "upper 0001");
    EXPECT_EQ(Image(), std::string(0x10000, '\0') + AsText(data));
}

TEST_F(HexConvert, GapsAndOverlapsKeepEveryByteDefined)
{
    // 0x10..0x1F and 0x30..0x37 written, then 0x14..0x17 overwritten.
    const std::string hex = DataLine(0x10, Bytes(16, 1)) + DataLine(0x30, Bytes(8, 100)) +
                            DataLine(0x14, {0xAA, 0xBB, 0xCC, 0xDD}) + kEndLine;
    ExpectConverted(Convert(hex), "gaps and overlap");
    std::string expected(0x38, '\0');
    expected.replace(0x10, 16, AsText(Bytes(16, 1)));
    expected.replace(0x30, 8, AsText(Bytes(8, 100)));
    expected.replace(0x14, 4, "\xAA\xBB\xCC\xDD");
    EXPECT_EQ(Image(), expected);
}

TEST_F(HexConvert, EmptyDataRecordsDoNotLengthenTheImage)
{
    ExpectConverted(Convert(DataLine(0, Bytes(4)) + DataLine(0x5000, {}) + kEndLine), "empty record");
    EXPECT_EQ(Image(), AsText(Bytes(4)));
}

TEST_F(HexConvert, CommentsLowerCaseAndCrLfAreAccepted)
{
    std::string lower = DataLine(0, {0xAB, 0xCD, 0xEF});
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string hex = "\"quoted comment\n# hash comment\n" + lower + "#\n" +
                            DataLine(3, {0x12}) + kEndLine;
    std::string crlf;
    for (char c : hex)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ExpectConverted(Convert(hex), "lower case and comments");
    EXPECT_EQ(Image(), "\xAB\xCD\xEF\x12");
    ExpectConverted(Convert(crlf), "CR LF line ends");
    EXPECT_EQ(Image(), "\xAB\xCD\xEF\x12");
}

TEST_F(HexConvert, NothingAfterTheEndRecordIsRead)
{
    ExpectConverted(Convert(DataLine(0, {1, 2}) + kEndLine + "\n\ngarbage\n:0200000402\n"), "garbage after the end");
    EXPECT_EQ(Image(), "\x01\x02");
}

TEST_F(HexConvert, RecordOf255BytesIsReadWhole)
{
    const std::string line = DataLine(0, Bytes(255, 3));
    ASSERT_EQ(line.size(), 522u);
    ExpectConverted(Convert(line + kEndLine), "255-byte record");
    EXPECT_EQ(Image(), AsText(Bytes(255, 3)));
}

TEST_F(HexConvert, MalformedFilesAreRefusedForTheirOwnFault)
{
    const std::string good = DataLine(0, {1, 2, 3, 4});
    std::string badChecksum = good;
    badChecksum[good.size() - 2] = good[good.size() - 2] == '0' ? '1' : '0';
    std::string badDataDigit = good;
    badDataDigit[10] = 'G';
    struct Case { const char* what; std::string hex; HexFault fault; unsigned long line; };
    const Case cases[] = {
        {"blank line", good + "\n" + kEndLine, HexFault::NotARecord, 2},
        {"line of blanks", good + "   \n" + kEndLine, HexFault::NotARecord, 2},
        {"text line", "hello\n" + kEndLine, HexFault::NotARecord, 1},
        {"type 02", HexRecordLine(0x02, 0, {0x10, 0x00}) + kEndLine, HexFault::UnsupportedType, 1},
        {"type 03", HexRecordLine(0x03, 0, {0, 0, 0, 0}) + kEndLine, HexFault::UnsupportedType, 1},
        {"type 05", HexRecordLine(0x05, 0, {0, 0, 0, 0}) + kEndLine, HexFault::UnsupportedType, 1},
        {"bad checksum", badChecksum + kEndLine, HexFault::BadChecksum, 1},
        {"bad checksum on the end record", good + ":00000001FE\n", HexFault::BadChecksum, 2},
        {"checksum before type", ":00000002FF\n" + kEndLine, HexFault::BadChecksum, 1},
        {"no end record", good, HexFault::NoEndRecord, 1},
        {"empty file", "", HexFault::NoEndRecord, 0},
        {"short header", ":0000\n", HexFault::BadHeader, 1},
        {"blank in the header", ": 0000001FF\n", HexFault::BadHeader, 1},
        {"sign in the header", ":+0000001FF\n", HexFault::BadHeader, 1},
        {"x in the address", ":000x0001FF\n", HexFault::BadHeader, 1},
        {"record shorter than its count", ":04000000010203F6\n" + kEndLine, HexFault::ShortRecord, 1},
        {"missing checksum", ":0100000001\n" + kEndLine, HexFault::ShortRecord, 1},
        {"data digit not hexadecimal", badDataDigit + kEndLine, HexFault::BadDigit, 1},
        {"blank in the data", ":02000000 1FE00\n" + kEndLine, HexFault::BadDigit, 1},
        {"address record without digits", ":00000004FC\n" + kEndLine, HexFault::BadExtendedAddress, 1},
        {"address record beyond 64 MiB", UpperAddressLine(0x0400) + good + kEndLine, HexFault::ImageTooLarge, 2},
        {"highest address", UpperAddressLine(0xFFFF) + DataLine(0xFFFF, {1, 2}) + kEndLine,
         HexFault::ImageTooLarge, 2},
    };
    for (const Case& c : cases)
        ExpectFault(Convert(c.hex), c.fault, c.line, c.what);
}

TEST_F(HexConvert, LineLongerThan528CharactersFailsOnItsRemainder)
{
    // A valid record padded past the reader's limit: the remainder is read as
    // a line of its own and is not a record.
    const std::string padded = DataLine(0, {1}).substr(0, 13) + std::string(600, '0') + "\n";
    ExpectFault(Convert(padded + kEndLine), HexFault::NotARecord, 2, "long line");
}

TEST_F(HexConvert, FailureKeepsTheOldImageAndLeavesNoTemporaryFile)
{
    m_folder.Write("fw.bin", "old image");
    ExpectFault(Convert(DataLine(0, {1}) + "\n" + kEndLine), HexFault::NotARecord, 2, "blank line");
    EXPECT_EQ(Image(), "old image");
    EXPECT_EQ(m_folder.Names().size(), 2u) << "only fw.hex and fw.bin";

    ExpectConverted(Convert(DataLine(0, {7, 8}) + kEndLine), "replacement");
    EXPECT_EQ(Image(), "\x07\x08");
    EXPECT_EQ(m_folder.Names().size(), 2u);
}

TEST_F(HexConvert, MissingInputOrOutputFolderIsReported)
{
    const HexOutcome noInput =
        ConvertHexFile(m_folder.Path("absent.hex").c_str(), m_folder.Path("fw.bin").c_str());
    ExpectFault(noInput, HexFault::CannotOpenInput, 0, "missing HEX file");
    EXPECT_FALSE(m_folder.Exists("fw.bin"));

    m_folder.Write("fw.hex", kEndLine);
    const std::string imagePath = m_folder.Path("no-such-folder") + "/fw.bin";
    ExpectFault(ConvertHexFile(m_folder.Path("fw.hex").c_str(), imagePath.c_str()), HexFault::CannotCreateOutput, 0,
                "missing output folder");
}

TEST_F(HexConvert, ConvertHexToBinaryAnswersZeroOrOne)
{
    m_folder.Write("good.hex", DataLine(0, {9}) + kEndLine);
    m_folder.Write("bad.hex", DataLine(0, {9}));
    EXPECT_EQ(ConvertHexToBinary(m_folder.Path("good.hex").c_str(), m_folder.Path("good.bin").c_str()), 0);
    EXPECT_EQ(m_folder.Read("good.bin"), "\x09");
    EXPECT_EQ(ConvertHexToBinary(m_folder.Path("bad.hex").c_str(), m_folder.Path("bad.bin").c_str()), 1);
    EXPECT_FALSE(m_folder.Exists("bad.bin"));
}

TEST_F(HexConvert, ImageOverAFolderIsRefusedAndLeavesNoTemporaryFile)
{
    std::filesystem::create_directory(m_folder.Path("fw.bin"));
    ExpectFault(Convert(DataLine(0, {1}) + kEndLine), HexFault::CannotReplaceOutput, 0, "image over a folder");
    EXPECT_EQ(m_folder.Names().size(), 2u) << "only fw.hex and the folder fw.bin";
}

TEST_F(HexConvert, BareImageNameIsWrittenInTheCurrentFolder)
{
    m_folder.Write("fw.hex", DataLine(0, {5, 6}) + kEndLine);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.Path(""));
    const HexOutcome outcome = ConvertHexFile("fw.hex", "bare.bin");
    std::filesystem::current_path(before);
    ExpectConverted(outcome, "bare name");
    EXPECT_EQ(m_folder.Read("bare.bin"), "\x05\x06");
    EXPECT_EQ(m_folder.Names().size(), 2u);
}

TEST(HexFaultName, EveryFaultHasANameOfItsOwn)
{
    std::set<std::string> names;
    for (int fault = 0; fault <= static_cast<int>(HexFault::CannotReplaceOutput); ++fault)
        names.insert(HexFaultName(static_cast<HexFault>(fault)));
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(names.count("unknown"), 0u);
    EXPECT_STREQ(HexFaultName(static_cast<HexFault>(99)), "unknown");
}

#ifndef _WIN32
// A folder opens for reading on Linux; reading it fails.
TEST_F(HexConvert, UnreadableInputIsAReadError)
{
    ExpectFault(ConvertHexFile(m_folder.Path("").c_str(), m_folder.Path("fw.bin").c_str()), HexFault::ReadError, 0,
                "folder as input");
}

TEST_F(HexConvert, MemoryThatCannotBeHadIsReportedAndNothingWritten)
{
    m_folder.Write("fw.bin", "old image");
    FailNextCall(LibcCall::Calloc);
    ExpectFault(Convert(DataLine(0, {1}) + kEndLine), HexFault::OutOfMemory, 0, "no first buffer");
    // A record past the first 16384 bytes needs the buffer grown.
    FailNextCall(LibcCall::Realloc);
    ExpectFault(Convert(DataLine(0x5000, {1}) + kEndLine), HexFault::OutOfMemory, 1, "no larger buffer");
    EXPECT_EQ(Image(), "old image");
}

TEST_F(HexConvert, ImageThatCannotBeWrittenKeepsTheOldOneAndNoTemporaryFile)
{
    m_folder.Write("fw.bin", "old image");
    FailNextCall(LibcCall::Fdopen);
    ExpectFault(Convert(DataLine(0, {1}) + kEndLine), HexFault::CannotCreateOutput, 0, "no stream");
    FailNextCall(LibcCall::Fwrite);
    ExpectFault(Convert(DataLine(0, {1}) + kEndLine), HexFault::ShortWrite, 0, "short write");
    EXPECT_EQ(Image(), "old image");
    EXPECT_EQ(m_folder.Names().size(), 2u) << "only fw.hex and fw.bin";
}
#endif
