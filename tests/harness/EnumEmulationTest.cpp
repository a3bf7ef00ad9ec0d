// The Windows-like EnumServicesStatusA, patched into hookee.dll or called
// directly, against the real driver list of the prefix.
#include "EnumEmulation.h"
#include "HarnessFiles.h"
#include "Handles.h"
#include "ImportHook.h"
#include "Scm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace harness;

namespace {

using EnumFunction = BOOL (*)(DWORD, ENUM_SERVICE_STATUSA*, DWORD, DWORD*, DWORD*, DWORD*);

constexpr BYTE kGuard = 0xCC;
constexpr DWORD kGuardBytes = 64;

DWORD EntrySize(const std::string& name, const std::string& displayName)
{
    return static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA) + name.size() + 1 + displayName.size() + 1);
}

struct Listed {
    std::string name, displayName;
};

// The real list, read with a buffer no short-buffer path can meet.
std::vector<Listed> RealDrivers(DWORD state)
{
    std::vector<BYTE> buffer(1024 * 1024);
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD needed = 0, returned = 0, resume = 0;
    std::vector<Listed> listed;
    if (EnumServicesStatusA(manager.get(), SERVICE_DRIVER, state, entries, static_cast<DWORD>(buffer.size()), &needed,
                            &returned, &resume))
        for (DWORD i = 0; i < returned; ++i)
            listed.push_back({entries[i].lpServiceName, entries[i].lpDisplayName});
    return listed;
}

struct EnumResult {
    BOOL ok = FALSE;
    DWORD error = 0, needed = 0xdeadbeef, returned = 0xdeadbeef;
    std::vector<Listed> entries;
    bool guardIntact = true;
    bool stringsInside = true;
};

class EnumEmulation : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hookee.reset(LoadLibraryA(HarnessBinary("hookee.dll").c_str()));
        ASSERT_TRUE(m_hookee) << GetLastError();
        m_enum = reinterpret_cast<EnumFunction>(
            reinterpret_cast<void*>(GetProcAddress(m_hookee.get(), "HookeeEnumServices")));
        m_hook = CImportHook(m_hookee.get(), "advapi32.dll", "EnumServicesStatusA",
                             reinterpret_cast<void*>(EmulatedEnumServicesStatusA));
        ASSERT_TRUE(m_hook);
    }

    // Calls through hookee.dll with a buffer of size bytes followed by a
    // guard, all filled with a marker first.
    EnumResult Enumerate(DWORD state, DWORD size) const
    {
        std::vector<BYTE> buffer(size + kGuardBytes, kGuard);
        // A size of 0 asks for the size, with no buffer, as the page says.
        auto* entries = size ? reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()) : nullptr;
        EnumResult result;
        result.ok = m_enum(state, entries, size, &result.needed, &result.returned, &result.error);
        const char* begin = reinterpret_cast<const char*>(buffer.data());
        for (DWORD i = 0; i < result.returned && result.returned != 0xdeadbeef; ++i) {
            const auto inside = [&](const char* text) { return text >= begin && text < begin + size; };
            result.stringsInside = result.stringsInside && inside(entries[i].lpServiceName) &&
                                   inside(entries[i].lpDisplayName);
            if (result.stringsInside)
                result.entries.push_back({entries[i].lpServiceName, entries[i].lpDisplayName});
        }
        for (DWORD i = size; i < buffer.size(); ++i)
            result.guardIntact = result.guardIntact && buffer[i] == kGuard;
        return result;
    }

    UniqueModule m_hookee;
    EnumFunction m_enum = nullptr;
    CImportHook m_hook;
};

std::vector<std::string> Names(const std::vector<Listed>& entries)
{
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back(entry.name);
    return names;
}

}  // namespace

TEST_F(EnumEmulation, ShortBufferReturnsTheEntriesThatFitWithMoreData)
{
    const auto real = RealDrivers(SERVICE_STATE_ALL);
    ASSERT_GE(real.size(), 4u);
    DWORD total = 0;
    for (const auto& entry : real)
        total += EntrySize(entry.name, entry.displayName);
    DWORD threeFit = 0;
    for (size_t i = 0; i < 3; ++i)
        threeFit += EntrySize(real[i].name, real[i].displayName);
    // One byte short of the fourth entry.
    const DWORD size = threeFit + EntrySize(real[3].name, real[3].displayName) - 1;

    // EnumServicesStatusA's page: what "the remaining service entries" need.
    const EnumResult result = Enumerate(SERVICE_STATE_ALL, size);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, DWORD{ERROR_MORE_DATA});
    EXPECT_EQ(result.returned, 3u);
    EXPECT_EQ(result.needed, total - threeFit);
    const EnumResult probe = Enumerate(SERVICE_STATE_ALL, 0);
    EXPECT_EQ(std::vector<DWORD>({static_cast<DWORD>(probe.ok), probe.error, probe.returned, probe.needed}),
              std::vector<DWORD>({FALSE, ERROR_INSUFFICIENT_BUFFER, 0, total}));
    EXPECT_TRUE(result.stringsInside);
    EXPECT_TRUE(result.guardIntact);
    EXPECT_EQ(Names(result.entries), Names({real.begin(), real.begin() + 3}));
    EXPECT_EQ(result.entries[2].displayName, real[2].displayName);
}

TEST_F(EnumEmulation, ExactFitSucceedsWithAllEntries)
{
    const auto real = RealDrivers(SERVICE_ACTIVE);
    DWORD total = 0;
    for (const auto& entry : real)
        total += EntrySize(entry.name, entry.displayName);
    const EnumResult result = Enumerate(SERVICE_ACTIVE, total);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.returned, real.size());
    EXPECT_EQ(result.needed, 0u);
    EXPECT_TRUE(result.guardIntact);
    EXPECT_EQ(Names(result.entries), Names(real));
}

TEST_F(EnumEmulation, PlannedErrorFailsWithNoEntries)
{
    CEnumServicesPlanScope plan({ERROR_ACCESS_DENIED, 0});
    const EnumResult result = Enumerate(SERVICE_STATE_ALL, 14400);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(result.returned, 0u);
    EXPECT_EQ(result.needed, 0u);
    ASSERT_EQ(plan.Calls().size(), 1u);
    EXPECT_EQ(plan.Calls()[0].bufferSize, 14400u);
    EXPECT_EQ(plan.Calls()[0].serviceState, DWORD{SERVICE_STATE_ALL});
    EXPECT_EQ(plan.Calls()[0].serviceType, DWORD{SERVICE_DRIVER});
}

TEST_F(EnumEmulation, FillersCrowdTheListAheadOfTheRealEntries)
{
    const auto real = RealDrivers(SERVICE_ACTIVE);
    CEnumServicesPlanScope plan({0, 300});
    const EnumResult crowded = Enumerate(SERVICE_ACTIVE, 7200);
    EXPECT_FALSE(crowded.ok);
    EXPECT_EQ(crowded.error, DWORD{ERROR_MORE_DATA});
    ASSERT_GT(crowded.returned, 0u);
    EXPECT_LT(crowded.returned, 300u);
    EXPECT_EQ(crowded.entries[0].name, "QB480Fill0001");
    EXPECT_EQ(crowded.needed, (300 - crowded.returned) * EntrySize("QB480Fill0001", "QB480Fill0001") +
                                  [&] {
                                      DWORD sum = 0;
                                      for (const auto& entry : real)
                                          sum += EntrySize(entry.name, entry.displayName);
                                      return sum;
                                  }());
    // Stopped services only: the running fillers are not listed.
    const EnumResult inactive = Enumerate(SERVICE_INACTIVE, 64 * 1024);
    EXPECT_TRUE(inactive.ok);
    EXPECT_EQ(Names(inactive.entries), Names(RealDrivers(SERVICE_INACTIVE)));
}

TEST_F(EnumEmulation, ReportedStateDecidesWhichFilterListsTheService)
{
    ASSERT_TRUE(ResetBaseline());
    ASSERT_EQ(CreateDriverService("QB480TestPaused", "QB480TestPaused", "C:\\paused.sys"), 0u);
    EnumServicesPlan paused;
    paused.reportedService = "qb480testpaused";
    paused.reportedState = SERVICE_PAUSED;
    std::vector<Listed> active, inactive;
    {
        CEnumServicesPlanScope plan(paused);
        active = Enumerate(SERVICE_ACTIVE, 64 * 1024).entries;
        inactive = Enumerate(SERVICE_INACTIVE, 64 * 1024).entries;
    }
    const auto listed = [](const std::vector<Listed>& entries) {
        const auto names = Names(entries);
        return std::find(names.begin(), names.end(), "QB480TestPaused") != names.end();
    };
    EXPECT_TRUE(listed(active));
    EXPECT_FALSE(listed(inactive));
    EXPECT_FALSE(listed(RealDrivers(SERVICE_ACTIVE))) << "it is stopped in truth";
    EXPECT_TRUE(ResetBaseline());
}

TEST(EnumEmulationResume, SecondCallContinuesWhereTheFirstStopped)
{
    const auto real = RealDrivers(SERVICE_STATE_ALL);
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    const DWORD size = EntrySize(real[0].name, real[0].displayName) + EntrySize(real[1].name, real[1].displayName);
    std::vector<BYTE> buffer(size);
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
    DWORD resume = 0, needed = 0, returned = 0;
    std::vector<std::string> names;
    for (int call = 0; call < 100; ++call) {
        const BOOL ok = EmulatedEnumServicesStatusA(manager.get(), SERVICE_DRIVER, SERVICE_STATE_ALL, entries, size,
                                                    &needed, &returned, &resume);
        ASSERT_TRUE(ok || GetLastError() == ERROR_MORE_DATA) << GetLastError();
        for (DWORD i = 0; i < returned; ++i)
            names.push_back(entries[i].lpServiceName);
        if (ok)
            break;
        ASSERT_GT(returned, 0u) << "an entry larger than two real ones";
    }
    EXPECT_EQ(resume, 0u);
    EXPECT_EQ(names, Names(real));
}
