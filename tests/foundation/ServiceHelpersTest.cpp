// The service helpers against Wine's real Service Control Manager, in the
// variant of the deliverable this test program was linked with.
#include "windows/ServiceControl.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "BoxCollector.h"
#include "EnumEmulation.h"
#include "ImportFaults.h"
#include "RegValue.h"
#include "Scm.h"
#include "SimulatedBoard.h"
#include "UniqueHandle.h"

namespace {

#ifdef QB480_LOADER_VARIANT
constexpr bool kApplet = false;
const Texts kInstalledEnumFailure{"EnumServiceStatus failed"};
const Texts kStartedEnumFailure{"EnumServiceStatus failed"};
#else
constexpr bool kApplet = true;
const Texts kInstalledEnumFailure{};
const Texts kStartedEnumFailure{"EnumServiceStatus failed in VDXDriverStarted"};
#endif

constexpr char kOtherService[] = "QB480TestSvc";

// The board driver stand-in, where the applet expects the driver.
std::string InstallDriverFile()
{
    harness::PlaceBoardDriver();
    return harness::BoardDriverPath();
}

class ServiceHelpers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(harness::ResetBaseline()); }
    void TearDown() override { harness::ResetBaseline(); }

    static bool Installed()
    {
        bool answer = false;
        EXPECT_EQ(BoxTextsDuring([&] { answer = qb480::IsDriverInstalled(); }), Texts{});
        return answer;
    }
    static bool Started()
    {
        bool answer = false;
        EXPECT_EQ(BoxTextsDuring([&] { answer = qb480::VDXDriverStarted(); }), Texts{});
        return answer;
    }
    // Both queries with every enumeration failing with error: each says
    // so in the variant's words, or not at all, and answers false.
    static void ExpectQueriesFailWith(DWORD error)
    {
        harness::CImportFaults faults(GetModuleHandleA(nullptr));
        ASSERT_TRUE(faults.Inject("EnumServicesStatusA", error));
        bool installed = true;
        bool started = true;
        EXPECT_EQ(BoxTextsDuring([&] { installed = qb480::IsDriverInstalled(); }), kInstalledEnumFailure);
        EXPECT_EQ(BoxTextsDuring([&] { started = qb480::VDXDriverStarted(); }), kStartedEnumFailure);
        EXPECT_FALSE(installed);
        EXPECT_FALSE(started);
    }
    static int Create(const char* name, const std::string& image, DWORD startType, Texts& boxes)
    {
        int result = -1;
        const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        boxes = BoxTextsDuring([&] { result = qb480::CreateKernelService(manager.get(), name, image.c_str(), startType); });
        return result;
    }
};

}  // namespace

TEST_F(ServiceHelpers, NoDriverServiceIsNeitherInstalledNorStarted)
{
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(Started());
}

TEST_F(ServiceHelpers, StoppedServiceIsInstalledAndRunningOneStarted)
{
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", image), 0u);
    EXPECT_TRUE(Installed());
    EXPECT_FALSE(Started());
    ASSERT_EQ(harness::StartDriverService("VDXQB480"), 0u);
    EXPECT_TRUE(Installed());
    EXPECT_TRUE(Started());
    ASSERT_EQ(harness::StopService("VDXQB480"), 0u);
    EXPECT_FALSE(Started());
}

namespace {

constexpr char kDriverParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";

// Started() asked while the driver is in state, as seen before and after.
bool StartedWhile(DWORD state, harness::CallSite where = {})
{
    const auto inState = [state] { return harness::ServiceState("VDXQB480") == state; };
    if (!harness::WaitUntil(inState))
        harness::Fail(where, "the driver never came into state " + std::to_string(state));
    bool answer = false;
    EXPECT_EQ(BoxTextsDuring([&] { answer = qb480::VDXDriverStarted(); }), Texts{});
    if (!inState())
        harness::Fail(where, "the driver left state " + std::to_string(state) + " before the answer");
    return answer;
}

}  // namespace

// The stand-in's knobs make the start and the stop last long enough.
TEST_F(ServiceHelpers, StartPendingCountsAsStarted)
{
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", InstallDriverFile()), 0u);
    ASSERT_TRUE(harness::WriteValue(kDriverParamKey, "TestDelayMs", harness::Dword(1500)));
    std::thread starter([] { harness::StartDriverService("VDXQB480"); });
    EXPECT_TRUE(StartedWhile(SERVICE_START_PENDING));
    starter.join();
}

TEST_F(ServiceHelpers, StopPendingCountsAsStarted)
{
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", InstallDriverFile()), 0u);
    ASSERT_TRUE(harness::WriteValue(kDriverParamKey, "TestStopDelayMs", harness::Dword(1500)));
    ASSERT_EQ(harness::StartDriverService("VDXQB480"), 0u);
    std::thread stopper([] { harness::StopService("VDXQB480"); });
    EXPECT_TRUE(StartedWhile(SERVICE_STOP_PENDING));
    stopper.join();
}

// No driver can be paused: the enumeration reports the stopped one so.
TEST_F(ServiceHelpers, PausedCountsAsStarted)
{
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", InstallDriverFile()), 0u);
    harness::CImportFaults faults(GetModuleHandleA(nullptr));
    ASSERT_TRUE(faults.Inject("EnumServicesStatusA", ERROR_MORE_DATA));
    harness::EnumServicesPlan plan;
    plan.reportedService = "VDXQB480";
    plan.reportedState = SERVICE_PAUSED;
    harness::CEnumServicesPlanScope scope(plan);
    EXPECT_TRUE(Installed());
    EXPECT_TRUE(Started());
}

// The applet says so only when it asks whether the driver is installed;
// the enumeration on no manager then fails as it may.
TEST_F(ServiceHelpers, UnopenableManagerIsReportedAndAnswersFalse)
{
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", InstallDriverFile()), 0u);
    ASSERT_EQ(harness::StartDriverService("VDXQB480"), 0u);
    harness::CImportFaults faults(GetModuleHandleA(nullptr));
    ASSERT_TRUE(faults.Inject("OpenSCManagerA", ERROR_ACCESS_DENIED));
    bool installed = true;
    bool started = true;
    EXPECT_EQ(BoxTextsDuring([&] { installed = qb480::IsDriverInstalled(); }),
              kApplet ? Texts{"Couldn't open SCManager"} : kInstalledEnumFailure);
    EXPECT_EQ(BoxTextsDuring([&] { started = qb480::VDXDriverStarted(); }), kStartedEnumFailure);
    EXPECT_FALSE(installed);
    EXPECT_FALSE(started);
}

TEST_F(ServiceHelpers, LowerCaseRegistrationCounts)
{
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService("vdxqb480", "vdxqb480", image), 0u);
    EXPECT_TRUE(Installed());
    ASSERT_EQ(harness::StartDriverService("vdxqb480"), 0u);
    EXPECT_TRUE(Started());
}

TEST_F(ServiceHelpers, OnlyTheServiceNameCountsNotTheDisplayName)
{
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService(kOtherService, "VDXQB480", image), 0u);
    ASSERT_EQ(harness::StartDriverService(kOtherService), 0u);
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(Started());
}

TEST_F(ServiceHelpers, CrowdedServiceListIsReadWhole)
{
    // Two thousand other drivers listed first: every first buffer overflows
    // the way Windows does it, with only the leading entries copied.
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", image), 0u);
    ASSERT_EQ(harness::StartDriverService("VDXQB480"), 0u);
    harness::CImportFaults faults(GetModuleHandleA(nullptr));
    ASSERT_TRUE(faults.Inject("EnumServicesStatusA", ERROR_MORE_DATA));
    harness::EnumServicesPlan plan;
    plan.fillers = 2000;
    harness::CEnumServicesPlanScope scope(plan);
    EXPECT_TRUE(Installed());
    EXPECT_TRUE(Started());
    const auto calls = scope.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].bufferSize, kApplet ? 28800u : 14400u);
    EXPECT_GT(calls[1].bufferSize, calls[0].bufferSize);
}

TEST_F(ServiceHelpers, ShortBufferAnswersWithoutSizeStillEnd)
{
    // Wine answers some short buffers with 122 and no size: the buffer
    // grows on its own, and a manager that never stops saying so is given up.
    ExpectQueriesFailWith(ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(ServiceHelpers, FailedEnumerationReportsInTheVariantsWords)
{
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService("VDXQB480", "VDXQB480", image), 0u);
    ExpectQueriesFailWith(ERROR_ACCESS_DENIED);
}

TEST_F(ServiceHelpers, CreateRegistersAKernelDriverWithNormalErrorControl)
{
    Texts boxes;
    EXPECT_EQ(Create(kOtherService, "C:\\windows\\system32\\drivers\\qb480test.sys", SERVICE_AUTO_START, boxes), 1);
    EXPECT_EQ(boxes, Texts{});
    const auto config = harness::QueryServiceConfiguration(kOtherService);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->type, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config->imagePath, "C:\\windows\\system32\\drivers\\qb480test.sys");
    EXPECT_EQ(config->displayName, kOtherService);
}

TEST_F(ServiceHelpers, ExistingRegistrationIsReplacedSilently)
{
    ASSERT_EQ(harness::CreateDriverService(kOtherService, kOtherService, "C:\\old.sys"), 0u);
    Texts boxes;
    EXPECT_EQ(Create(kOtherService, "C:\\new.sys", SERVICE_DEMAND_START, boxes), 1);
    EXPECT_EQ(boxes, Texts{});
    const auto config = harness::QueryServiceConfiguration(kOtherService);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->imagePath, "C:\\new.sys");
    EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
}

TEST_F(ServiceHelpers, RunningRegistrationIsStoppedFirstOnlyByTheApplet)
{
    const std::string image = InstallDriverFile();
    ASSERT_EQ(harness::CreateDriverService(kOtherService, kOtherService, image), 0u);
    ASSERT_EQ(harness::StartDriverService(kOtherService), 0u);
    Texts boxes;
    const int result = Create(kOtherService, image, SERVICE_DEMAND_START, boxes);
    if (kApplet) {
        // Stopped, deleted and registered anew.
        EXPECT_EQ(result, 1);
        EXPECT_EQ(boxes, Texts{});
        EXPECT_EQ(harness::ServiceState(kOtherService), std::optional<DWORD>(SERVICE_STOPPED));
    } else {
        // Deleted while it runs, the old registration lingers: the second
        // creation fails, and that is said instead of reporting success.
        EXPECT_EQ(result, 0);
        EXPECT_EQ(boxes, Texts{" The specified service has been marked for deletion."});
    }
}

TEST_F(ServiceHelpers, RegistrationMarkedForDeletionIsReported)
{
    ASSERT_EQ(harness::CreateDriverService(kOtherService, kOtherService, "C:\\old.sys"), 0u);
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    fw::UniqueScHandle held(OpenServiceA(manager.get(), kOtherService, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(held);
    ASSERT_TRUE(DeleteService(held.get()));  // pending while the handle is held
    Texts boxes;
    EXPECT_EQ(Create(kOtherService, "C:\\new.sys", SERVICE_DEMAND_START, boxes), 0);
    EXPECT_EQ(boxes, Texts{" The specified service has been marked for deletion."});
    held.reset();
    EXPECT_TRUE(harness::DeleteServiceAndWait(kOtherService));
}

TEST_F(ServiceHelpers, EveryCreationErrorHasItsText)
{
    const struct {
        DWORD code;
        const char* text;
    } cases[] = {
        {1052, " The requested control is not valid for this service"},
        {1053, "  The service did not respond to the start or control request in a timely fashion."},
        {1054, " A thread could not be created for the service."},
        {1055, " The service database is locked."},
        {1056, " An instance of the service is already running."},
        {1057, " The account name is invalid or does not exist.."},
        {1058, " The specified service is disabled and cannot be started."},
        {1059, "  Circular service dependency was specified."},
        {1060, " The specified service does not exist as an installed service."},
        {1061, " The service cannot accept control messages at this time."},
        {1062, "  The service has not been started."},
        {1063, " The service process could not connect to the service controller."},
        {1064, "An exception occurred in the service when handling the control request. "},
        {1065, "The database specified does not exist."},
        {1066, "The service has returned a service-specific error code."},
        {1067, "The process terminated unexpectedly."},
        {1068, "The dependency service or group failed to start."},
        {1069, " The service did not start due to a logon failure."},
        {1070, " After starting, the service hung in a start-pending state."},
        {1071, " The specified service database lock is invalid."},
        {1072, " The specified service has been marked for deletion."},
        {1074, "  The system is currently running with the last-known-good configuration."},
        {1075, " The dependency service does not exist or has been marked for deletion."},
        {ERROR_ACCESS_DENIED, "Unknown error encountered: CreateService"},
        {1051, "Unknown error encountered: CreateService"},
        {1076, "Unknown error encountered: CreateService"},
    };
    for (const auto& c : cases) {
        harness::CImportFaults faults(GetModuleHandleA(nullptr));
        ASSERT_TRUE(faults.Inject("CreateServiceA", c.code));
        const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        int result = -1;
        CBoxCollector collector;
        result = qb480::CreateKernelService(manager.get(), kOtherService, "C:\\x.sys", SERVICE_DEMAND_START);
        const auto boxes = collector.Stop();
        EXPECT_EQ(result, 0) << c.code;
        ASSERT_EQ(boxes.size(), 1u) << c.code;
        EXPECT_EQ(boxes[0].text, c.text) << c.code;
        EXPECT_TRUE(boxes[0].exclamation) << c.code;
        EXPECT_EQ(boxes[0].buttons, std::vector<std::string>{"OK"}) << c.code;
        EXPECT_FALSE(harness::IsServiceListed(kOtherService)) << c.code;
    }
}

TEST_F(ServiceHelpers, RemovingAnUnknownServiceSaysSo)
{
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    int result = -1;
    bool opened = true;
    EXPECT_EQ(BoxTextsDuring([&] { result = qb480::RemoveService(manager.get(), kOtherService, &opened); }),
              Texts{"failure: OpenService"});
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(opened);
}

TEST_F(ServiceHelpers, RemovingAStoppedServiceDeletesIt)
{
    ASSERT_EQ(harness::CreateDriverService(kOtherService, kOtherService, "C:\\x.sys"), 0u);
    const fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    int result = 0;
    EXPECT_EQ(BoxTextsDuring([&] { result = qb480::RemoveService(manager.get(), kOtherService); }), Texts{});
    EXPECT_NE(result, 0);
    EXPECT_TRUE(harness::WaitUntil([] { return !harness::IsServiceListed(kOtherService); }));
}
