#include "HexLineReader.h"

#include <gtest/gtest.h>

#include <memory>

#include "TempFolder.h"

using qb480::CHexLineReader;

namespace {

// The lines the reader gives for a file holding these bytes, opened as the
// converter opens it (text mode).
std::vector<std::string> LinesOf(const std::string& bytes)
{
    CTempFolder folder;
    folder.Write("in.txt", bytes);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(folder.Path("in.txt").c_str(), "r"), &std::fclose);
    EXPECT_TRUE(file);
    auto reader = std::make_unique<CHexLineReader>(file.get());
    std::vector<std::string> lines;
    std::string_view line;
    while (reader->Next(line))
        lines.emplace_back(line);
    EXPECT_FALSE(reader->Failed());
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(HexLineReader, KeepsLineFeedsAndTheUnterminatedLastLine)
{
    EXPECT_EQ(LinesOf("a\n\nbc\nd"), (Lines{"a\n", "\n", "bc\n", "d"}));
    EXPECT_EQ(LinesOf(""), Lines{});
}

TEST(HexLineReader, DropsTheCarriageReturnOfEveryCrLf)
{
    EXPECT_EQ(LinesOf("a\r\nb\r\n\r\n"), (Lines{"a\n", "b\n", "\n"}));
    EXPECT_EQ(LinesOf("a\rb\n"), (Lines{"a\rb\n"}));
}

TEST(HexLineReader, SplitsLinesLongerThan528Characters)
{
    const std::string longLine = std::string(528, 'x') + std::string(72, 'y') + "\n";
    EXPECT_EQ(LinesOf(longLine), (Lines{std::string(528, 'x'), std::string(72, 'y') + "\n"}));
    const std::string exact = std::string(527, 'x') + "\n";
    EXPECT_EQ(LinesOf(exact + "z\n"), (Lines{exact, "z\n"}));
    // The limit counts characters after the CR has been dropped.
    EXPECT_EQ(LinesOf(std::string(527, 'x') + "\r\nz\n"), (Lines{exact, "z\n"}));
}

TEST(HexLineReader, CrLfSplitAcrossReadsIsStillOneLineEnd)
{
    // A blank line, then lines of 15 characters and CR LF: the CR of line
    // 3856 is the last byte of the reader's first 64 KiB chunk.
    std::string bytes = "\r\n";
    Lines expected{"\n"};
    for (int i = 0; i < 8000; ++i) {
        const std::string line = std::string(15, static_cast<char>('a' + i % 26)) + "\n";
        bytes += line.substr(0, 15) + "\r\n";
        expected.push_back(line);
    }
    ASSERT_EQ(bytes[65535], '\r');
    EXPECT_EQ(LinesOf(bytes), expected);
}
