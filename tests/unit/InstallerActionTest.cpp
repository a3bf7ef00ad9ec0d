// What the installer packages' actions hand over: the board's properties
// to the deferred action, each value quoted into qb480cfg's command line so
// that the run-time's split gives it back whole, and the board's record to
// the rollback.
#include "ActionData.h"
#include "ArgumentQuoting.h"
#include "BoardRecord.h"
#include "RollbackPlan.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <random>

using Arguments = std::vector<std::string>;

namespace {

const std::string kProgram = R"(C:\Program Files\Tessaline\QB480\qb480cfg.exe)";
const qb480::ConfiguratorCall kCall{kProgram, std::string(64, 'e'), R"(C:\WINDOWS\Temp\QB480.0f)", {}, {}, {}};

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
    const std::vector<qb480::GivenProperty> given = {{"QB480_PREFIX", R"(X" /log "C:\planted\)"},
                                                     {"QB480_IRQ", "5"},
                                                     {"QB480_SETTINGS", R"(C:\QB480 files\a=b.ini)"},
                                                     {"QB480_REASON", "CR-17: IRQ=5"}};
    qb480::ConfiguratorCall initiated = kCall;
    initiated.initiatorSid = "S-1-5-21-1-2-3-1001";
    initiated.initiatorName = "LAB\\operator";
    const auto call = qb480::CallOf(qb480::ActionDataOf(initiated, given));
    ASSERT_TRUE(call);
    EXPECT_EQ(std::vector<std::string>({call->program, call->sha256, call->folder, call->initiatorSid,
                                        call->initiatorName}),
              std::vector<std::string>({kProgram, kCall.sha256, kCall.folder, "S-1-5-21-1-2-3-1001",
                                        "LAB\\operator"}));
    EXPECT_EQ(call->arguments, (Arguments{"install", "/prefix", R"(X" /log "C:\planted\)", "/irq", "5", "/settings",
                                          R"(C:\QB480 files\a=b.ini)", "/reason", "CR-17: IRQ=5"}));
    EXPECT_EQ(qb480::CallOf(qb480::ActionDataOf(kCall, {}))->arguments, Arguments{"install"});
}

TEST(ActionData, RefusesControlCharactersAndAnythingNotHandedOverByIt)
{
    EXPECT_EQ(qb480::ValueFault({"QB480_PREFIX", "A\x1F" "B"}),
              "QB480_PREFIX holds a control character (code 31), which no setting of the board takes.");
    EXPECT_NE(qb480::ValueFault({"QB480_SETTINGS", "C:\\a\nb"}), "");
    EXPECT_EQ(qb480::ValueFault({"QB480_PREFIX", "\x7F\xA0 \"\\"}), "");
    const std::string end = "\x1F";
    const std::string head = qb480::ActionDataOf(kCall, {});
    for (const std::string& data :
         {std::string(), kProgram, head + "QB480_LOG=x" + end, head + "QB480_IRQ" + end, head + "QB480_IRQ=5",
          end + kCall.sha256 + end + kCall.folder + end, kProgram + end + std::string(63, 'e') + end + kCall.folder + end,
          kProgram + end + std::string(64, 'E') + end + kCall.folder + end, kProgram + end + kCall.sha256 + end + end})
        EXPECT_FALSE(qb480::CallOf(data)) << data;
}

TEST(BoardRecord, ReadsBackWhatItWrote)
{
    const std::string name("C\0O\0M\0" "1\0", 8);
    qb480::BoardRecord record{true, {{'M', true, {{name, 4, std::string("\x03\x11\0\0", 4)}, {"", 1, ""}}},
                                     {'P', false, {}},
                                     {'L', true, {{"S\0", 0xFFFFFFFF, std::string("\0\xFF;:,", 5)}}}},
                                    {}};
    EXPECT_EQ(qb480::RecordFromText(qb480::RecordText(record)), record);
    record.serviceExisted = false;
    record.com = qb480::RecordedComDatabase{std::vector<bool>(16), {3, 4}};
    record.com->inUse[2] = record.com->inUse[4] = record.com->inUse[15] = true;
    EXPECT_EQ(qb480::RecordText(record).substr(qb480::RecordText(record).find(";C")), ";C1480/3,4");
    EXPECT_EQ(qb480::RecordFromText(qb480::RecordText(record)), record);
    for (const char* text : {"", "S2", "S1;", "S1;P2", "S1;P1:zz,4,00", "S1;P1:00,4", "S1;P1:0,4,00", "S1;P0:00,4,00",
                             "S1;P1:00,4294967296,00", "S1;P1:00,-1,00", "S1;P1:00,,00", "S1;C0g/3", "S1;C00/03",
                             "S1;C00", "S1;C00/3;P0",
                             // 2^64 + 4, which 64-bit arithmetic would take for type 4
                             "S1;P1:00,18446744073709551620,00"})
        EXPECT_FALSE(qb480::RecordFromText(text)) << text;
}

namespace {

std::string Utf16(const std::string& ascii)
{
    std::string bytes;
    for (const char c : ascii)
        bytes += std::string(1, c) + '\0';
    return bytes;
}

qb480::RecordedValue Dword(const char* name, char value) { return {Utf16(name), 4, std::string(1, value) + std::string(3, '\0')}; }

qb480::BoardRecord Board(std::vector<qb480::RecordedValue> parameters, const std::string& sources,
                         std::vector<qb480::RecordedValue> modes = {})
{
    return {true,
            {{'M', !modes.empty(), modes}, {'P', true, parameters}, {'E', false, {}},
             {'L', true, {{Utf16("Sources"), 7, sources}}}},
            {}};
}

}  // namespace

// The rollback puts back what this installation changed, and nothing that
// another set-up changed since; without the record after the configuration
// it puts back everything, since the configuration held the lock.
TEST(RollbackPlan, PutsBackOnlyWhatThisInstallationChanged)
{
    const std::string others = Utf16("Other") + std::string(2, '\0');
    const std::string withOurs = qb480::WithSourceEntry(others, true);
    EXPECT_EQ(withOurs, Utf16("Other") + std::string(2, '\0') + Utf16("vdxqb480") + std::string(4, '\0'));
    const auto before = Board({Dword("IRQ", 5), Dword("PORT", 3)}, others);
    const auto after = Board({Dword("IRQ", 7), Dword("PORT", 3), Dword("FirstPort", 3)}, withOurs, {Dword("COM3", 1)});
    // Meanwhile another set-up: PORT and FirstPort changed, and a source added.
    const std::string more = qb480::WithSourceEntry(Utf16("New") + std::string(2, '\0') + withOurs, true);
    const auto now = Board({Dword("IRQ", 7), Dword("PORT", 9), Dword("FirstPort", 4)}, more, {Dword("COM3", 1)});

    const qb480::RollbackPlan plan = qb480::PlanRollback(before, after, now);
    ASSERT_EQ(plan.keys.size(), 3u);
    EXPECT_EQ(plan.keys[0].id, 'M');
    EXPECT_EQ(plan.keys[0].remove, std::vector<std::string>{Utf16("COM3")});
    EXPECT_TRUE(plan.keys[0].deleteWhenEmpty);
    EXPECT_EQ(plan.keys[1].set, std::vector<qb480::RecordedValue>{Dword("IRQ", 5)});
    EXPECT_TRUE(plan.keys[1].remove.empty());
    ASSERT_EQ(plan.keys[2].set.size(), 1u);
    EXPECT_EQ(plan.keys[2].set[0].data, Utf16("New") + std::string(2, '\0') + Utf16("Other") + std::string(4, '\0'));
    EXPECT_EQ(plan.leftAsTheyAre, std::vector<std::string>{
        "HKLM\\SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters FirstPort"});
    EXPECT_FALSE(plan.deleteService);

    // Interrupted: every difference from the record before goes back.
    const qb480::RollbackPlan interrupted = qb480::PlanRollback(before, std::nullopt, now);
    EXPECT_EQ(interrupted.keys[1].set, (std::vector<qb480::RecordedValue>{Dword("PORT", 3), Dword("IRQ", 5)}));
    EXPECT_EQ(interrupted.keys[1].remove, std::vector<std::string>{Utf16("FirstPort")});
    EXPECT_TRUE(interrupted.leftAsTheyAre.empty());
    EXPECT_FALSE(qb480::PlanRollback(before, before, before).anything);
}

// The COM numbers: those this installation claimed are given back, those
// it released claimed again while still free, and no other device's.
TEST(RollbackPlan, UndoesOnlyThisInstallationsComClaims)
{
    auto board = [](std::vector<std::uint32_t> inUse, qb480::ComNumbers claimed) {
        qb480::BoardRecord record{true, {}, qb480::RecordedComDatabase{std::vector<bool>(32), claimed}};
        for (std::uint32_t number : inUse)
            record.com->inUse[number - 1] = true;
        return record;
    };
    const auto before = board({3, 4, 5}, {3, 4});  // COM5 is another device's
    const auto after = board({5, 20, 21}, {20, 21});
    // Meanwhile another device claimed COM4, and COM22 was recorded by another set-up.
    const auto now = board({4, 5, 20, 21, 22}, {20, 21, 22});
    const qb480::RollbackPlan plan = qb480::PlanRollback(before, after, now);
    EXPECT_EQ(plan.release, (qb480::ComNumbers{20, 21}));
    EXPECT_EQ(plan.reclaim, qb480::ComNumbers{3});
    EXPECT_TRUE(plan.anything);
}
