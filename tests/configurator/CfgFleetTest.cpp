// What deployment tools ask of the configurator on the simulated board:
// does this machine match a file, what changed, what would change, and
// the same as one JSON object.
#include "CfgRun.h"

#include "ComDatabaseStandIn.h"
#include "HarnessFiles.h"
#include "JsonValue.h"

using namespace cfgtest;

namespace {

constexpr char kNothingToChange[] = "Nothing to change: the machine holds every setting given.";
constexpr char kDriverRuns[] = "The driver is running: it takes the new settings at its next start.";
constexpr char kBoardOnly[] = "[Board Settings]\r\nMemory Address = D0000\r\nPort Address = 300\r\nIRQ = 5\r\n"
                              "[Port Numbering]\r\nPort Name Prefix = com\r\n";
const std::string kBoardIni = std::string(kBoardOnly) + "[Port COM4]\r\nTx Load = 3\r\n";

using CfgFleet = CCfgTest;

harness::JsonValue JsonOf(const CfgResult& run, CallSite where = {})
{
    if (run.lines.size() != 1) {
        Fail(where, "not one line: " + ::testing::PrintToString(run.lines));
        return {};
    }
    const auto json = harness::CJsonReader::Read(run.lines[0]);
    if (!json || json->kind != harness::JsonValue::Kind::Object)
        Fail(where, "not one JSON object: " + run.lines[0]);
    return json.value_or(harness::JsonValue{});
}

// The text of the guide's example <pre id="id">, its entities undone.
std::string GuideExample(const std::string& id)
{
    const std::string guide = ReadFileBytes(QB480_GUIDE_HTML).value_or("");
    const std::size_t start = guide.find("<pre id=\"" + id + "\">");
    const std::size_t end = guide.find("</pre>", start);
    if (start == std::string::npos || end == std::string::npos)
        return std::string();
    std::string text = guide.substr(guide.find('>', start) + 1, end - guide.find('>', start) - 1);
    for (const auto& [entity, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), character);
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf + "\r\n";
}

// The configurator where the packages install it, for the examples that
// find it there; gone again at the end.
class CInstalledConfigurator {
public:
    CInstalledConfigurator()
    {
        char programs[MAX_PATH] = {};
        if (!GetEnvironmentVariableA("ProgramW6432", programs, MAX_PATH))
            GetEnvironmentVariableA("ProgramFiles", programs, MAX_PATH);
        CreateDirectoryA((std::string(programs) + "\\Tessaline").c_str(), nullptr);
        m_folder = std::string(programs) + "\\Tessaline\\QB480";
        CreateDirectoryA(m_folder.c_str(), nullptr);
        m_copied = CopyFileA(QB480CFG_EXE, (m_folder + "\\qb480cfg.exe").c_str(), FALSE) != FALSE;
    }
    ~CInstalledConfigurator()
    {
        DeleteFileA((m_folder + "\\qb480cfg.exe").c_str());
        RemoveDirectoryA(m_folder.c_str());
    }
    CInstalledConfigurator(const CInstalledConfigurator&) = delete;
    CInstalledConfigurator& operator=(const CInstalledConfigurator&) = delete;
    bool Copied() const { return m_copied; }

private:
    std::string m_folder;
    bool m_copied = false;
};

}  // namespace

TEST_F(CfgFleet, CheckSaysWhetherTheMachineMatchesAndChangesNothing)
{
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), kBoardOnly));
    const CfgResult fresh = Run("check board.ini");
    EXPECT_EQ(fresh.code, 10u);
    EXPECT_EQ(fresh.lines, (Texts{"Memory Address: not stored on this machine, D0000 in board.ini",
                                  "Port Address: not stored on this machine, 300 in board.ini",
                                  "IRQ: not stored on this machine, 5 in board.ini",
                                  "Port Name Prefix: not stored on this machine, COM in board.ini",
                                  "The machine differs from board.ini."}));
    EXPECT_FALSE(KeyExists(kParamKey));

    RunDriver();
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), kBoardIni));
    ASSERT_EQ(Run("import board.ini").code, 3010u);
    ASSERT_TRUE(WriteValue(kParamKey, "IRQ", Dword(7)));
    const CfgResult differs = Run("check board.ini /json");
    EXPECT_EQ(differs.code, 10u);
    const harness::JsonValue json = JsonOf(differs);
    EXPECT_EQ(json.keys, (Texts{"matches", "differences", "exitCode"}));
    ASSERT_EQ(json["differences"].items.size(), 1u);
    EXPECT_EQ(json["differences"].items[0]["setting"].text, "IRQ");
    EXPECT_EQ(json["differences"].items[0]["machine"].text, "7");
    EXPECT_EQ(json["differences"].items[0]["file"].text, "5");
    ASSERT_TRUE(WriteValue(kParamKey, "IRQ", Dword(5)));
    EXPECT_EQ(Run("check board.ini").lines, Texts{"The machine matches board.ini."});
    EXPECT_EQ(JsonOf(Run("check board.ini /json"))["matches"].boolean, true);

    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), "[Port COM11]\r\nTx Load = 3\r\n"));
    const CfgResult refused = Run("check board.ini /json");
    EXPECT_EQ(refused.code, 2u);
    EXPECT_EQ(JsonOf(refused)["error"].text.rfind("The settings file board.ini, line 1: the board has no port COM11", 0),
              0u);
    // A line refused before any run answers in JSON too, when it asked for it.
    const CfgResult usage = Run("configure /json");
    EXPECT_EQ(usage.code, 1u);
    EXPECT_EQ(JsonOf(usage)["exitCode"].number, 1.0);
    EXPECT_FALSE(JsonOf(usage)["error"].text.empty());
}

// A remediation that runs again and again asks for no restart and writes
// nothing once the machine matches; /whatif only says what it would do.
TEST_F(CfgFleet, OnlyWhatDiffersIsWrittenAndSaid)
{
    RunDriver();
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), kBoardIni));
    const CfgResult first = Run("import board.ini");
    EXPECT_EQ(first.code, 3010u);
    EXPECT_EQ(first.lines, (Texts{"Memory Address: changed from not stored to D0000",
                                  "Port Address: changed from not stored to 300",
                                  "IRQ: changed from not stored to 5", "Port Name Prefix: changed from not stored to COM",
                                  "Port COM4 Tx Load: changed from 12 to 3", kStored, kDriverRuns}));
    const auto written = LastWriteTime(kParamKey);
    ASSERT_TRUE(written);
    const RegistryPicture before = ReadRegistryPicture();
    const CfgResult again = Run("import board.ini");
    EXPECT_EQ(again.code, 0u);
    EXPECT_EQ(again.lines, Texts{kNothingToChange});
    EXPECT_EQ(LastWriteTime(kParamKey), written);

    const CfgResult whatIf = Run("set /irq 7 /prefix com /whatif");
    EXPECT_EQ(whatIf.code, 10u);
    EXPECT_EQ(whatIf.lines, (Texts{"IRQ: would change from 5 to 7", "Nothing is changed (/whatif)."}));
    EXPECT_EQ(Run("install /whatif").code, 0u);
    EXPECT_EQ(ReadRegistryPicture(), before);
    EXPECT_EQ(LastWriteTime(kParamKey), written);

    const harness::JsonValue changed = JsonOf(Run("set /irq 7 /json"));
    EXPECT_EQ(changed.keys, (Texts{"changed", "changes", "exitCode", "restartNeeded"}));
    EXPECT_TRUE(changed["changed"].boolean);
    EXPECT_TRUE(changed["restartNeeded"].boolean);
    EXPECT_EQ(changed["changes"].items[0]["old"].text, "5");
    EXPECT_EQ(changed["changes"].items[0]["new"].text, "7");

    // The machine matches its own export, ports without a word of their own
    // too, and importing it changes nothing; so again after a change.
    for (const char* change : {"", "set /irq 9"}) {
        if (*change) {
            ASSERT_EQ(Run(change).code, 3010u);
        }
        ASSERT_EQ(Run("export own.ini").code, 0u);
        const CfgResult check = Run("check own.ini");
        EXPECT_EQ(check.code, 0u) << change;
        EXPECT_EQ(check.lines, Texts{"The machine matches own.ini."});
        const CfgResult own = Run("import own.ini");
        EXPECT_EQ(own.code, 0u);
        EXPECT_EQ(own.lines, Texts{kNothingToChange});
    }

    // Where the service is missing, /whatif says it would register it and
    // registers nothing; values it refuses keep install from registering.
    ASSERT_TRUE(ResetBaseline());
    ASSERT_TRUE(PlaceBoardDriver());
    const RegistryPicture fresh = ReadRegistryPicture();
    const CfgResult wouldInstall = Run("install /whatif");
    EXPECT_EQ(wouldInstall.code, 10u);
    ASSERT_FALSE(wouldInstall.lines.empty());
    EXPECT_EQ(wouldInstall.lines[0], "Service VDXQB480: would change from not registered to registered");
    EXPECT_EQ(Run("install /irq 16").code, 4u);
    EXPECT_EQ(ReadRegistryPicture(), fresh);
}

// Whatever bytes the registry or the driver hold, the output parses, and
// eight ports stay within a detection script's 2,048 characters.
TEST_F(CfgFleet, ShowAsJsonParsesForAnyStoredText)
{
    RunDriver();
    const std::string odd = "Q\"\\\x01\xC9";
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz(odd)));
    ASSERT_TRUE(WriteValue(kParamKey, "DriverVersion", Sz(odd + "\t1.0")));
    ASSERT_TRUE(WriteValue(kParamKey, "MEM_SEG", Dword(0xD0000)));
    const CfgResult run = Run("show /json");
    EXPECT_EQ(run.code, 0u);
    const harness::JsonValue json = JsonOf(run);
    EXPECT_EQ(json.keys, (Texts{"service", "driverVersion", "firmwareVersion", "memoryAddress", "portAddress", "irq",
                                "portNamePrefix", "firstPort", "totalNumberOfPorts", "portsStartingAt", "ports",
                                "exitCode"}));
    EXPECT_EQ(json["portNamePrefix"].text, "Q\"\\\x01\xC3\x89");
    EXPECT_EQ(json["driverVersion"].text, "Q\"\\\x01\xC3\x89\t1.0");
    EXPECT_EQ(json["memoryAddress"].text, "D0000");
    EXPECT_EQ(json["portAddress"].kind, harness::JsonValue::Kind::Null);
    ASSERT_EQ(json["ports"].items.size(), 8u);
    const harness::JsonValue& port = json["ports"].items[0];
    EXPECT_EQ(port.keys, (Texts{"name", "rxTimeout", "rxThreshold", "txLoad", "multidrop", "halfDuplex", "stored",
                                "comDatabase"}));
    EXPECT_EQ(port["stored"].boolean, false);
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("COM")));
    EXPECT_LE(Run("show /json").lines.at(0).size(), 2048u);
}

// Registered once more as qb480cfg.Utf8 (CMakeLists.txt), in a process
// whose ANSI code page is UTF-8, as Windows 10 and 11 offer it: a prefix
// holding U+2028 and U+0085 leaves the JSON one line to every reader.
TEST_F(CfgFleet, Utf8CodePageKeepsTheJsonOneLine)
{
    if (GetACP() != CP_UTF8)
        GTEST_SKIP() << "runs as qb480cfg.Utf8, with the ANSI code page UTF-8";
    RunDriver();
    const std::string prefix = "A\xE2\x80\xA8" "B\xC2\x85" "C\xC3\x89";
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz(prefix)));
    const CfgResult run = Run("show /json");
    ASSERT_EQ(run.lines.size(), 1u);
    for (const char* separator : {"\xE2\x80\xA8", "\xE2\x80\xA9", "\xC2\x85"})
        EXPECT_EQ(run.lines[0].find(separator), std::string::npos);
    EXPECT_EQ(JsonOf(run)["portNamePrefix"].text, prefix);
}

// The guide's start-up script as written: a machine that differs is
// imported once, and one that matches is only checked.
TEST_F(CfgFleet, TheGuidesStartUpScriptImportsOnlyWhenNeeded)
{
    const std::string script = GuideExample("gp-check-script");
    ASSERT_NE(script.find("check \"%~dp0board.ini\""), std::string::npos) << script;
    ASSERT_TRUE(WriteFileBytes(InFolder("startup.cmd"), script));
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), kBoardIni));
    const CInstalledConfigurator installed;
    ASSERT_TRUE(installed.Copied());
    RunDriver();
    char root[MAX_PATH] = {};
    GetEnvironmentVariableA("SystemRoot", root, MAX_PATH);
    const std::string log = std::string(root) + "\\Logs\\QB480\\qb480cfg.log";
    DeleteFileA(log.c_str());
    for (const char* last : {kDriverRuns, "The machine matches " }) {
        const CChild run("cmd.exe /c startup.cmd", InFolder(""));
        ASSERT_TRUE(run.Started()) << run.StartError();
        EXPECT_EQ(run.Wait(60000), 0u);
        const Texts lines = StampedLogLines(log);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.rbegin()[1].rfind(last, 0), 0u) << ::testing::PrintToString(lines);
    }
    EXPECT_EQ(ReadValue(kParamKey, "IRQ"), Dword(5));
    DeleteFileA(log.c_str());
}

// The board's COM numbers are claimed when the configurator changes a
// setting; another device's is named by show, and no import can mend it.
TEST_F(CfgFleet, AnotherDevicesComNumberIsNamedAndNeverMatches)
{
    CComDatabaseSwap database(ComDatabaseKind::StandIn);
    ASSERT_TRUE(ClaimForOtherDevice({5}));
    const std::string device = EnterSerialComm("A", "COM5");
    RunDriver();
    // Before any claim the board's own numbers are free there.
    const Texts unclaimed = Run("show").lines;
    ASSERT_EQ(unclaimed.size(), 18u);
    EXPECT_EQ(unclaimed[10].substr(unclaimed[10].find(';')), "; COM database: free, not claimed yet");
    const harness::JsonValue ports = JsonOf(Run("show /json"))["ports"];
    ASSERT_EQ(ports.items.size(), 8u);
    EXPECT_EQ(ports.items[0]["comDatabase"].text, "free");
    EXPECT_EQ(ports.items[2]["comDatabase"].text, "other");
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), kBoardIni));
    const CfgResult imported = Run("import board.ini");
    EXPECT_EQ(imported.code, 3010u);
    EXPECT_TRUE(Holds(imported.lines, "COM5 (" + device + ") is in use by another device on this machine. The "
                                      "board's ports will be numbered from 3 all the same; check the other device's "
                                      "port number."))
        << ::testing::PrintToString(imported.lines);
    EXPECT_EQ(ComNumbersInUse(), (std::set<DWORD>{3, 4, 5, 6, 7, 8, 9, 10}));
    const Texts shown = Run("show").lines;
    ASSERT_EQ(shown.size(), 18u);
    EXPECT_EQ(shown[10].substr(shown[10].find(';')), "; COM database: claimed for the board");
    EXPECT_EQ(shown[12].substr(shown[12].find(';')), "; COM database: in use by another device (" + device + ")");
    const CfgResult check = Run("check board.ini");
    EXPECT_EQ(check.code, 10u);
    EXPECT_EQ(check.lines, (Texts{"COM5: in use by another device (" + device +
                                      ") on this machine, a port of the board in board.ini",
                                  "The machine differs from board.ini."}));
}
