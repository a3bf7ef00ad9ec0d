#include "CfgRun.h"

#include <sstream>

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
    ChildStart start;
    start.token = token;
    start.suspended = true;
    start.output = output.get();
    CChild child("\"" + InFolder("qb480cfg.exe") + "\" " + arguments, m_folder, start);
    if (!child.Started()) {
        Fail(where, child.StartError());
        return result;
    }
    if (!faults.empty() && !InjectFaults(child, faults, 0, where))
        return result;
    child.Resume();
    const WatchedRun watched = WatchUntilExit(child, "qb480cfg " + arguments, 15000, where);
    result.code = watched.code;
    result.windows = watched.windows;
    output.reset();
    result.lines = LinesOf(ReadFileBytes(outputPath).value_or(""), where);
    return result;
}

}  // namespace cfgtest
