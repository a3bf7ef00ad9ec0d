// The configurator as Windows' own console tools behave: its text in the
// code page each reader expects.
#include "CfgRun.h"

using namespace cfgtest;

namespace {

bool Holds(const Texts& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

// A prefix with an É: 0xC9 in the ANSI code page (1252), 0x90 in the OEM
// one (437 or 850). A file or pipe gets the OEM byte, as cmd and PowerShell
// read it; the log keeps ANSI, for Notepad; a console shows the character.
TEST_F(CCfgTest, TextComesInTheCodePageItsReaderExpects)
{
    ASSERT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(GetOEMCP() == 437 || GetOEMCP() == 850) << GetOEMCP();
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(Run("set /prefix T\xC9").code, 0u);

    const CfgResult redirected = Run("show /log run.log");
    EXPECT_TRUE(Holds(redirected.lines, "Port Name Prefix: T\x90")) << ::testing::PrintToString(redirected.lines);
    const Texts log = StampedLogLines(InFolder("run.log"));
    EXPECT_TRUE(Holds(log, "Port Name Prefix: T\xC9"));
    const std::vector<std::wstring> screen = RunOnConsole("show");
    EXPECT_NE(std::find(screen.begin(), screen.end(), L"Port Name Prefix: T\u00C9"), screen.end())
        << ::testing::PrintToString(screen);
}
