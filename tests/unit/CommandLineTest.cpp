// The command line split as the C run-time splits it, the loader's
// and the configurator's switches read from it.
#include "CommandLine.h"
#include "CfgArguments.h"
#include "LoaderArguments.h"

#include <gtest/gtest.h>

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsAsTheRunTimeDoes)
{
    const struct {
        const char* line;
        Arguments arguments;
    } rows[] = {
        {R"("C:\Program Files\q\qb480load.exe" /q fw.hex)", {R"(C:\Program Files\q\qb480load.exe)", "/q", "fw.hex"}},
        {R"(C:\q\load.exe)", {R"(C:\q\load.exe)"}},
        {"load.exe \t a\t\tb  ", {"load.exe", "a", "b"}},
        {R"(x "a b c" d e)", {"x", "a b c", "d", "e"}},
        {R"(x "ab\"c" "\\" d)", {"x", "ab\"c", "\\", "d"}},
        {R"(x a\\\b d"e f"g h)", {"x", R"(a\\\b)", "de fg", "h"}},
        {R"(x a\\\"b c d)", {"x", R"(a\"b)", "c", "d"}},
        {R"(x a\\\\"b c" d e)", {"x", R"(a\\b c)", "d", "e"}},
        {R"(x a"b"" c d)", {"x", "ab\"", "c", "d"}},
        {R"(x "" /log "C:\logs\")", {"x", "", "/log", "C:\\logs\""}},
        {R"(x /log "C:\logs\\" "open to the end)", {"x", "/log", "C:\\logs\\", "open to the end"}},
        {R"("C:\a b\x"y.exe z)", {R"(C:\a b\xy.exe)", "z"}},
        {"", {""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(fw::SplitCommandLine(row.line), row.arguments) << row.line;
}

TEST(LoaderArguments, SwitchesInAnyCaseWithTheirValues)
{
    const auto parsed = qb480::ParseLoaderArguments(
        {"-Q", "/LOG", "C:\\logs\\fw.log", "-mem", "d0000", "/Port", "/300", "fw.txt"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.given);
    EXPECT_TRUE(parsed.quiet);
    EXPECT_EQ(parsed.logFile, "C:\\logs\\fw.log");
    EXPECT_EQ(parsed.memorySegment, "d0000");
    EXPECT_EQ(parsed.portAddress, "/300");  // a value is the next argument, whatever it holds
    EXPECT_EQ(parsed.hexFile, "fw.txt");
    EXPECT_FALSE(parsed.help);

    const auto none = qb480::ParseLoaderArguments({});
    EXPECT_FALSE(none.given);
    EXPECT_EQ(none.error, "");
    EXPECT_FALSE(none.hexFile);
    EXPECT_TRUE(qb480::ParseLoaderArguments({"/quiet", "/?"}).help);
    // Without /quiet a file is not needed: the Open dialog asks.
    EXPECT_EQ(qb480::ParseLoaderArguments({"/log", "x.log"}).error, "");
}

TEST(LoaderArguments, RefusedLinesSayWhy)
{
    const char usage[] = " qb480load.exe /? shows the usage.";
    const struct {
        Arguments arguments;
        std::string error;
    } rows[] = {
        {{"/force", "fw.hex"}, "Unknown switch: /force."},
        {{"fw.hex", "/mem"}, "The switch /mem needs a value."},
        {{"a.hex", "b.hex"}, "More than one HEX file: a.hex, b.hex."},
        {{"/quiet", "/log", "x.log"}, "/quiet needs a HEX file."},
        {{"-q"}, "/quiet needs a HEX file."},
        {{"/log", "a.log", "/quiet", "/LOG", "b.log", "fw.hex"}, "The switch /LOG is given twice."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(qb480::ParseLoaderArguments(row.arguments).error, row.error + usage) << row.error;
}

TEST(CfgArguments, TakeEachCommandsSwitches)
{
    using qb480::CfgCommand;
    const auto install = qb480::ParseCfgArguments(
        {"INSTALL", "/mem", "d0000", "-Port", "300", "/irq", "5", "/prefix", " tty ", "/first", "none", "/settings",
         "board.ini", "/log", "C:\\logs\\cfg.log"});
    EXPECT_EQ(install.error, "");
    EXPECT_EQ(install.command, CfgCommand::Install);
    EXPECT_EQ(install.settings.memory, "d0000");
    EXPECT_EQ(install.settings.prefix, " tty ");
    EXPECT_EQ(install.settings.first, "none");
    EXPECT_EQ(install.settingsFile, "board.ini");
    EXPECT_EQ(install.logFile, "C:\\logs\\cfg.log");
    const auto exported = qb480::ParseCfgArguments({"export", "C:\\a b.ini"});
    EXPECT_EQ(exported.command, CfgCommand::Export);
    EXPECT_EQ(exported.file, "C:\\a b.ini");
    EXPECT_EQ(qb480::ParseCfgArguments({"show", "/?"}).command, CfgCommand::Help);
    const auto check = qb480::ParseCfgArguments({"Check", "board.ini", "-JSON"});
    EXPECT_EQ(check.command, CfgCommand::Check);
    EXPECT_EQ(check.file, "board.ini");
    EXPECT_TRUE(check.json);
    const auto whatIf = qb480::ParseCfgArguments({"import", "/whatif", "board.ini", "/reason", "CR-17 audit"});
    EXPECT_EQ(whatIf.error, "");
    EXPECT_EQ(whatIf.reason, "CR-17 audit");
    EXPECT_TRUE(whatIf.whatIf);
    EXPECT_EQ(whatIf.file, "board.ini");
}

TEST(CfgArguments, RefuseALineThatIsNotWhole)
{
    const struct {
        std::vector<std::string> arguments;
        const char* error;
    } rows[] = {
        {{}, "No command given."},
        {{"configure", "/log", "x.log"}, "Unknown command: configure."},
        {{"set"}, "set needs at least one setting."},
        {{"set", "/irq", "", "/log", "x.log"}, "The switch /irq needs a value."},
        {{"set", "/irq", "5", "/irq", "6"}, "The switch /irq is given twice."},
        // A value that carries a switch of its own ahead of the caller's.
        {{"set", "/prefix", "X", "/log", "C:\\any\\x.bat", "/log", "run.log"}, "The switch /log is given twice."},
        {{"set", "/speed", "9600"}, "Unknown switch: /speed."},
        {{"import"}, "The command needs a FILE."},
        {{"import", "a.ini", "b.ini"}, "Unexpected argument: b.ini."},
        {{"show", "/mem", "D0000"}, "Only install and set take settings."},
        {{"set", "/irq", "5", "/settings", "a.ini"}, "Only install takes /settings."},
        {{"check"}, "The command needs a FILE."},
        {{"check", "a.ini", "/whatif"}, "Only install, set and import take /whatif."},
        {{"export", "a.ini", "/json"}, "Only show, check, install, set and import take /json."},
        {{"show", "/json", "/json"}, "The switch /json is given twice."},
        {{"export", "a.ini", "/reason", "why"}, "Only install, set, import and remove take /reason."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(qb480::ParseCfgArguments(row.arguments).error,
                  std::string(row.error) + " qb480cfg.exe /? shows the usage.");
}
