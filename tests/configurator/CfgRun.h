#pragma once
// qb480cfg.exe run as a script runs it: a copy in a folder of the test's
// own, its exit code as a Windows parent reads it (the Linux shell sees it
// modulo 256) and its lines on standard output. The fixture is the
// applet's, so that a test can hold the two programs' work side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "AppletSession.h"

namespace cfgtest {

using namespace harness;

struct CfgResult {
    std::optional<DWORD> code;  // absent when it did not end in time (reported)
    Texts lines;                // standard output, a line each
    Texts windows;              // the captions of the windows it showed while it ran
    Texts trace;                // Wine's debug output meanwhile, when captured (EventRecords.h)
};

inline bool Holds(const Texts& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Registered and started: the driver reports 8 ports from COM3 and its versions.
inline void RunDriver(CallSite where = {})
{
    if (!RegisterBoardDriver(SERVICE_DEMAND_START, where) || StartDriverService(kServiceName) != 0)
        Fail(where, "set-up: the board driver does not start");
}

// What the board driver's keys and the event log hold, for comparing two
// machines' (or two programs') work.
struct RegistryPicture {
    std::map<std::string, RegValue> service, parameters, modes, source;
    std::optional<RegValue> sources;
    bool operator==(const RegistryPicture& other) const;
};
void PrintTo(const RegistryPicture& picture, std::ostream* out);
// The values the running driver publishes are left out.
RegistryPicture ReadRegistryPicture();

class CCfgTest : public CAppletTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string InFolder(const std::string& name) const { return m_folder + "\\" + name; }
    // Runs the copy with these arguments in its folder until it ends;
    // faults are injected before it runs any code of its own.
    CfgResult Run(const std::string& arguments, const std::vector<std::pair<std::string, DWORD>>& faults = {},
                  HANDLE token = nullptr, CallSite where = {});
    // The same with a console as its standard output: the screen's lines.
    std::vector<std::wstring> RunOnConsole(const std::string& arguments, CallSite where = {});

private:
    // Starts the copy with output as its standard output and error, and
    // watches it until it ends.
    WatchedRun Watch(const std::string& arguments, const std::vector<std::pair<std::string, DWORD>>& faults,
                     HANDLE token, HANDLE output, CallSite where);

    std::string m_folder;
};

}  // namespace cfgtest
