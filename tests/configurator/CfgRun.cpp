#include "CfgRun.h"

#include "EventRecords.h"

#include <sstream>

#include "ConsoleScreen.h"

namespace cfgtest {

namespace {

std::map<std::string, RegValue> Without(std::map<std::string, RegValue> values, const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        values.erase(name);
    return values;
}

Texts LinesOf(const std::string& text, CallSite where)
{
    Texts lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.back() != '\r')
            Fail(where, "an output line without its CR LF: \"" + line + "\"");
        else
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool RegistryPicture::operator==(const RegistryPicture& other) const
{
    return service == other.service && parameters == other.parameters && modes == other.modes &&
           source == other.source && sources == other.sources;
}

void PrintTo(const RegistryPicture& picture, std::ostream* out)
{
    *out << "service " << ::testing::PrintToString(picture.service) << ", parameters "
         << ::testing::PrintToString(picture.parameters) << ", modes " << ::testing::PrintToString(picture.modes)
         << ", event-log entry " << ::testing::PrintToString(picture.source) << ", sources "
         << ::testing::PrintToString(picture.sources);
}

RegistryPicture ReadRegistryPicture()
{
    RegistryPicture picture;
    picture.service = ReadValues(kServiceKey);
    picture.parameters = Without(ReadValues(kParamKey), {"DriverVersion", "FirmwareVersion", "TotalNumberOfPorts",
                                                          "PortsStartingAt"});
    picture.modes = ReadValues(kModesKey);
    picture.source = ReadValues(kSourceKey);
    picture.sources = ReadValue(kEventLogKey, "Sources");
    return picture;
}

void CCfgTest::SetUp()
{
    CAppletTest::SetUp();
    if (HasFatalFailure())
        return;
    m_folder = MakeTestFolder("qb480 cfg tests");
    ASSERT_TRUE(CopyFileA(QB480CFG_EXE, InFolder("qb480cfg.exe").c_str(), FALSE)) << GetLastError();
}

void CCfgTest::TearDown()
{
    CAppletTest::TearDown();
    RemoveTestFolder(m_folder);
}

WatchedRun CCfgTest::Watch(const std::string& arguments, const std::vector<std::pair<std::string, DWORD>>& faults,
                           HANDLE token, HANDLE output, CallSite where)
{
    ChildStart start;
    start.token = token;
    start.suspended = true;
    start.output = output;
    CChild child("\"" + InFolder("qb480cfg.exe") + "\" " + arguments, m_folder, start);
    if (!child.Started()) {
        Fail(where, child.StartError());
        return WatchedRun();
    }
    if (!faults.empty() && !InjectFaults(child, faults, 0, where))
        return WatchedRun();
    child.Resume();
    return WatchUntilExit(child, "qb480cfg " + arguments, 15000, where);
}

CfgResult CCfgTest::Run(const std::string& arguments, const std::vector<std::pair<std::string, DWORD>>& faults,
                        HANDLE token, CallSite where)
{
    CfgResult result;
    const std::string outputPath = InFolder("output.txt");
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    fw::UniqueFileHandle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) {
        Fail(where, "set-up: the output file cannot be made");
        return result;
    }
    CWineStderr wine;
    const WatchedRun watched = Watch(arguments, faults, token, output.get(), where);
    result.trace = wine.NewLines();
    result.code = watched.code;
    result.windows = watched.windows;
    output.reset();
    result.lines = LinesOf(ReadFileBytes(outputPath).value_or(""), where);
    return result;
}

std::vector<std::wstring> CCfgTest::RunOnConsole(const std::string& arguments, CallSite where)
{
    const CConsoleScreen screen;
    if (!screen.Output()) {
        Fail(where, "set-up: no console for the program");
        return {};
    }
    if (Watch(arguments, {}, nullptr, screen.Output(), where).code != 0u)
        Fail(where, "qb480cfg " + arguments + " did not end with 0 on the console");
    return screen.Lines();
}

}  // namespace cfgtest
