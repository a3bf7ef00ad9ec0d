// A standard user beside the board's set-up: reads the board with no more
// access than reading needs, changes nothing, never touches the set-up lock,
// and cannot stop an administrator's set-up by holding the lock's name.
#include "CfgRun.h"
#include "ImportFaults.h"
#include "LockSquatter.h"

#include <memory>

using namespace cfgtest;

namespace {

constexpr char kSet[] = "set /mem D0000 /port 300 /irq 5";
constexpr char kAnotherRun[] =
    "Another configuration or firmware load is running on this machine. Run qb480cfg.exe again when it has ended.";
constexpr char kNotAdministrator[] = "Administrator rights are needed to configure the QB480 board.";
constexpr char kPassedOver[] =
    "The set-up lock's name Global\\Tessaline.QB480.Setup is held by a program that is no administrator's: "
    "passed over.";
constexpr char kTakenByAnEvent[] =
    "The set-up lock's name Global\\Tessaline.QB480.Setup is taken by an object that is no mutex: passed over.";

using Faults = std::vector<std::pair<std::string, DWORD>>;

// An administrator's firmware load, asking its question with the set-up
// lock held.
class CFirmwareLoadAsking {
public:
    CFirmwareLoadAsking(const std::string& folder, const Faults& faults, CallSite where = {})
        : m_child("\"" QB480LOAD_EXE "\"", folder, Suspended())
    {
        if (!m_child.Started() || (!faults.empty() && !InjectFaults(m_child, faults, 0, where))) {
            Fail(where, "set-up: the firmware loader does not start");
            return;
        }
        m_child.Resume();
        m_dialog = WaitForDialog("qb480load", m_child.pid(), kRobotTimeoutMs, where);
    }
    bool Asking() const { return m_dialog != nullptr; }
    std::optional<DWORD> Cancel()
    {
        Click(m_dialog, IDCANCEL);
        return m_child.Wait(5000);
    }

private:
    static ChildStart Suspended()
    {
        ChildStart start;
        start.suspended = true;
        return start;
    }
    CChild m_child;
    HWND m_dialog = nullptr;
};

}  // namespace

// The name held first by a standard user, with its default security,
// admitting no one, or as an event, is no set-up: an administrator's run
// passes it over and says so, and an administrator's set-up still keeps a
// second one out.
TEST_F(CCfgTest, AStandardUserHoldingTheLocksNameStopsNoSetUp)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    using Security = CLockSquatter::Security;
    for (const std::optional<Security> squat : {std::optional<Security>(), std::optional(Security::Default),
                                                std::optional(Security::AdmitsNoOne), std::optional(Security::AnEvent)}) {
        std::optional<CLockSquatter> squatter;
        if (squat)
            squatter.emplace(*squat);
        DeleteFileA(InFolder("run.log").c_str());
        EXPECT_EQ(Run(std::string(kSet) + " /log run.log").code, 0u);
        const char* passedOver = squat == Security::AnEvent ? kTakenByAnEvent : kPassedOver;
        EXPECT_EQ(Holds(StampedLogLines(InFolder("run.log")), passedOver), squat.has_value());

        CFirmwareLoadAsking load(InFolder(""), Faults{});
        ASSERT_TRUE(load.Asking());
        const CfgResult beside = Run(kSet);
        EXPECT_EQ(beside.code, 1618u);
        EXPECT_EQ(beside.lines, Texts{kAnotherRun});
        // Reading needs no lock.
        EXPECT_EQ(Run("show").code, 0u);
        // The load took a later name: one that finds the first name free
        // again still sees it.
        squatter.reset();
        EXPECT_EQ(Run(kSet).code, 1618u);
        EXPECT_EQ(load.Cancel(), 0u);
    }
}

// With every name held by someone else there is no lock to take: the run
// goes on, and its log says so.
TEST_F(CCfgTest, EveryNameHeldBySomeoneElseLeavesTheRunUnguarded)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    std::vector<std::unique_ptr<CLockSquatter>> squatters;
    for (const char* suffix : {"", ".1", ".2", ".3"}) {
        squatters.push_back(std::make_unique<CLockSquatter>(CLockSquatter::Security::Default,
                                                            kSetupLockGlobalName + std::string(suffix)));
        ASSERT_TRUE(squatters.back()->Holds());
    }
    EXPECT_EQ(Run(std::string(kSet) + " /log run.log").code, 0u);
    EXPECT_TRUE(Holds(StampedLogLines(InFolder("run.log")),
                      "Every name of the set-up lock is held by programs that are no administrator's: the run goes "
                      "on without it."));
}

// From Vista on the lock is a mutex in a private namespace bounded by the
// Administrators group. Wine 8 has no private namespaces: the calls'
// documented results are emulated (NamespaceEmulation.h).
TEST_F(CCfgTest, FromVistaOnTheLockLivesInANamespaceOnlyAdministratorsMake)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    const Faults vista = {{"GetProcAddress", 0}, {"CreateMutexA", 0}};
    const CLockSquatter squatter(CLockSquatter::Security::AdmitsNoOne);
    {
        CFirmwareLoadAsking load(InFolder(""), vista);
        ASSERT_TRUE(load.Asking());
        const CfgResult beside = Run(std::string(kSet) + " /log run.log", vista);
        EXPECT_EQ(beside.code, 1618u);
        EXPECT_FALSE(Holds(StampedLogLines(InFolder("run.log")), kPassedOver));
        EXPECT_EQ(load.Cancel(), 0u);
    }
    // Each injection starts a new record: this is the last run's.
    EXPECT_EQ(Run(kSet, vista).code, 0u);
    EXPECT_EQ(RecordedText("CreatePrivateNamespaceW", "boundary"), "S-1-5-32-544");
    EXPECT_EQ(RecordedText("CreatePrivateNamespaceW", "security"), "O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)");
    EXPECT_EQ(RecordedText("CreateMutexA", "names"), "Tessaline.QB480\\Setup");
    // A namespace that cannot be made: the global name, and a line that says so.
    EXPECT_EQ(Run(std::string(kSet) + " /log failed.log", {{"GetProcAddress", ERROR_ACCESS_DENIED}}).code, 0u);
    EXPECT_TRUE(Holds(StampedLogLines(InFolder("failed.log")),
                      "The set-up lock's private namespace cannot be made or opened (error 5): the global name is "
                      "used."));
}

// Under a standard user's token show, export, check and /whatif read a
// running driver as running, asking for no more than reading needs; every change is refused
// with 8, changes nothing, and never touches the set-up lock.
TEST_F(CCfgTest, AStandardUserReadsTheBoardAndChangesNothing)
{
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    ASSERT_EQ(Run(kSet).code, 3010u);
    ASSERT_TRUE(WriteFileBytes(InFolder("board.ini"), "[Board Settings]\r\nIRQ = 7\r\n"));
    const RegistryPicture before = ReadRegistryPicture();
    const fw::UniqueKernelHandle standardUser = NonAdministratorToken();
    ASSERT_TRUE(standardUser);
    const Faults recorded = {{"OpenSCManagerA", 0}, {"RegOpenKeyExA", 0}, {"RegCreateKeyExA", 0}, {"CreateMutexA", 0}};

    // Each injection starts a new record.
    const auto expectReadOnly = [](const char* command) {
        EXPECT_EQ(RecordedNumber("OpenSCManagerA", "access"), DWORD{SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE})
            << command;
        EXPECT_EQ(RecordedNumber("RegOpenKeyExA", "access"), DWORD{KEY_QUERY_VALUE}) << command;
        EXPECT_FALSE(RecordedNumber("RegCreateKeyExA", "access")) << command;
    };
    const CfgResult show = Run("show", recorded, standardUser.get());
    EXPECT_EQ(show.code, 0u);
    ASSERT_FALSE(show.lines.empty());
    EXPECT_EQ(show.lines[0], "Service VDXQB480: running");
    EXPECT_TRUE(Holds(show.lines, "Memory Address: D0000"));
    expectReadOnly("show");
    EXPECT_EQ(Run("export exported.ini", recorded, standardUser.get()).code, 0u);
    EXPECT_TRUE(FileExists(InFolder("exported.ini")));
    expectReadOnly("export");
    // Saying what would change only reads too.
    for (const char* reading : {"check board.ini", "import board.ini /whatif"}) {
        EXPECT_EQ(Run(reading, recorded, standardUser.get()).code, 10u) << reading;
        expectReadOnly(reading);
        EXPECT_FALSE(RecordedText("CreateMutexA", "names")) << reading;
    }

    for (const char* change : {"set /irq 7", "import board.ini", "install /irq 7", "remove"}) {
        const CfgResult refused = Run(change, recorded, standardUser.get());
        EXPECT_EQ(refused.code, 8u) << change;
        EXPECT_EQ(refused.lines, Texts{kNotAdministrator});
        EXPECT_FALSE(RecordedText("CreateMutexA", "names")) << change;
    }
    EXPECT_EQ(ReadRegistryPicture(), before);
    EXPECT_EQ(ServiceState(kServiceName), DWORD{SERVICE_RUNNING});
}
