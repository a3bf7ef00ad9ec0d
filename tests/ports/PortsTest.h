#pragma once
// What the tests of the "Port Numbering" and "Advanced Options" dialogs
// start from: the applet's session over a registered driver that is not
// running, with CPL_INIT first and CPL_EXIT last, as the Control Panel
// sends them.
#include "AppletSession.h"

namespace portstest {

using namespace harness;

class CPortsTest : public CInstalledAppletTest {
protected:
    void SetUp() override
    {
        CInstalledAppletTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(Call(CPL_INIT), 1);
    }
    void TearDown() override
    {
        Call(CPL_EXIT);
        CAppletTest::TearDown();
    }
};

// The driver's report of its ports, as the driver writes it.
inline void WritePorts(std::uint32_t count, std::uint32_t first, CallSite where = {})
{
    WriteValue(kParamKey, "TotalNumberOfPorts", Dword(count), where);
    WriteValue(kParamKey, "PortsStartingAt", Dword(first), where);
}

}  // namespace portstest
