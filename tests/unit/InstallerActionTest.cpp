// What the installer packages' actions hand over: the board's properties
// to the deferred action, each value quoted into qb480cfg's command line so
// that the run-time's split gives it back whole, and the board's record to
// the rollback.
#include "ActionData.h"
#include "ArgumentQuoting.h"
#include "BoardRecord.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <random>

using Arguments = std::vector<std::string>;

namespace {

const std::string kProgram = R"(C:\Program Files\Tessaline\QB480\qb480cfg.exe)";

Arguments SplitBack(const Arguments& arguments)
{
    Arguments split = fw::SplitCommandLine(qb480::CommandLineOf(kProgram, arguments));
    EXPECT_EQ(split.front(), kProgram);
    split.erase(split.begin());
    return split;
}

}  // namespace

TEST(ArgumentQuoting, EveryArgumentSplitsBackWhole)
{
    const Arguments hostile = {"install", R"(X" /log "C:\planted.txt)", R"(COM\)", R"(X /log C:\any\x.bat)", "",
                               R"(\)", R"(\\)", R"(a\"b)", R"(a\\"b)", R"(""")", " lead and trail ", "tab\there",
                               R"(C:\QB480 files\)", R"(C:\share\\)", "/log"};
    EXPECT_EQ(SplitBack(hostile), hostile);
    // Every short word of the characters the split treats specially.
    std::mt19937 random(480);
    const char alphabet[] = {'a', ' ', '\t', '"', '\\'};
    for (int round = 0; round < 3000; ++round) {
        Arguments words(1 + random() % 3);
        for (std::string& word : words)
            for (unsigned length = random() % 8; length; --length)
                word += alphabet[random() % sizeof alphabet];
        ASSERT_EQ(SplitBack(words), words) << qb480::CommandLineOf(kProgram, words);
    }
}

TEST(ActionData, HandsEachPropertyOverAsTheValueOfItsSwitch)
{
    const std::vector<qb480::GivenProperty> given = {
        {"QB480_PREFIX", R"(X" /log "C:\planted\)"}, {"QB480_IRQ", "5"}, {"QB480_SETTINGS", R"(C:\QB480 files\a=b.ini)"}};
    const auto call = qb480::CallOf(qb480::ActionDataOf(kProgram, given));
    ASSERT_TRUE(call);
    EXPECT_EQ(call->program, kProgram);
    EXPECT_EQ(call->arguments, (Arguments{"install", "/prefix", R"(X" /log "C:\planted\)", "/irq", "5", "/settings",
                                          R"(C:\QB480 files\a=b.ini)"}));
    EXPECT_EQ(qb480::CallOf(qb480::ActionDataOf(kProgram, {}))->arguments, Arguments{"install"});
}

TEST(ActionData, RefusesControlCharactersAndAnythingNotHandedOverByIt)
{
    EXPECT_EQ(qb480::ValueFault({"QB480_PREFIX", "A\x1F" "B"}),
              "QB480_PREFIX holds a control character (code 31), which no setting of the board takes.");
    EXPECT_NE(qb480::ValueFault({"QB480_SETTINGS", "C:\\a\nb"}), "");
    EXPECT_EQ(qb480::ValueFault({"QB480_PREFIX", "\x7F\xA0 \"\\"}), "");
    const std::string end = "\x1F";
    for (const std::string& data : {std::string(), kProgram, end + "QB480_IRQ=5" + end, kProgram + end + "QB480_LOG=x" + end,
                                    kProgram + end + "QB480_IRQ" + end, kProgram + end + "QB480_IRQ=5"})
        EXPECT_FALSE(qb480::CallOf(data)) << data;
}

TEST(BoardRecord, ReadsBackWhatItWrote)
{
    const std::string name("C\0O\0M\0" "1\0", 8);
    qb480::BoardRecord record{true, {{'M', true, {{name, 4, std::string("\x03\x11\0\0", 4)}, {"", 1, ""}}},
                                     {'P', false, {}},
                                     {'L', true, {{"S\0", 0xFFFFFFFF, std::string("\0\xFF;:,", 5)}}}}};
    EXPECT_EQ(qb480::RecordFromText(qb480::RecordText(record)), record);
    record.serviceExisted = false;
    EXPECT_EQ(qb480::RecordFromText(qb480::RecordText(record)), record);
    for (const char* text : {"", "S2", "S1;", "S1;P2", "S1;P1:zz,4,00", "S1;P1:00,4", "S1;P1:0,4,00", "S1;P0:00,4,00",
                             "S1;P1:00,4294967296,00", "S1;P1:00,-1,00", "S1;P1:00,,00",
                             // 2^64 + 4, which 64-bit arithmetic would take for type 4
                             "S1;P1:00,18446744073709551620,00"})
        EXPECT_FALSE(qb480::RecordFromText(text)) << text;
}
