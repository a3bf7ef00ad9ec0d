// The service helpers against the prefix's Service Control Manager, with
// harnessdriver.sys as a driver that really starts.
#include "HarnessFiles.h"
#include "UniqueHandle.h"
#include "Scm.h"

#include <gtest/gtest.h>

using namespace harness;

namespace {

constexpr const char* kService = "QB480TestScm";
constexpr const char* kImage = "C:\\windows\\system32\\drivers\\qb480testscm.sys";

class Scm : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ResetBaseline()); }
    void TearDown() override { ResetBaseline(); }
};

}  // namespace

TEST_F(Scm, CreatedServiceIsListedWithItsConfiguration)
{
    EXPECT_EQ(ServiceState(kService), std::nullopt);
    ASSERT_EQ(CreateDriverService(kService, "QB480 test service", kImage, SERVICE_AUTO_START), 0u);
    EXPECT_EQ(ServiceState(kService), DWORD{SERVICE_STOPPED});
    EXPECT_TRUE(IsServiceListed("qb480testscm"));
    const auto config = QueryServiceConfiguration(kService);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->type, DWORD{SERVICE_KERNEL_DRIVER});
    EXPECT_EQ(config->startType, DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(config->errorControl, DWORD{SERVICE_ERROR_NORMAL});
    EXPECT_EQ(config->imagePath, kImage);
    EXPECT_EQ(config->displayName, "QB480 test service");
    EXPECT_EQ(CreateDriverService(kService, kService, kImage), DWORD{ERROR_SERVICE_EXISTS});
}

TEST_F(Scm, DeletedServiceIsGoneSoItsNameCanBeUsedAgainAtOnce)
{
    ASSERT_EQ(CreateDriverService(kService, kService, kImage), 0u);
    EXPECT_TRUE(DeleteServiceAndWait(kService));
    EXPECT_FALSE(IsServiceListed(kService));
    EXPECT_EQ(ServiceState(kService), std::nullopt);
    EXPECT_EQ(CreateDriverService(kService, kService, kImage), 0u);
    EXPECT_TRUE(DeleteServiceAndWait(kService));
    EXPECT_TRUE(DeleteServiceAndWait("QB480TestNeverCreated"));
}

TEST_F(Scm, DeletionCompletesOnlyWhenTheLastHandleCloses)
{
    ASSERT_EQ(CreateDriverService(kService, kService, kImage), 0u);
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    fw::UniqueScHandle held(OpenServiceA(manager.get(), kService, SERVICE_QUERY_STATUS));
    ASSERT_TRUE(held);
    EXPECT_FALSE(DeleteServiceAndWait(kService, 300));
    EXPECT_EQ(CreateDriverService(kService, kService, kImage), DWORD{ERROR_SERVICE_MARKED_FOR_DELETE});
    held.reset();
    EXPECT_TRUE(DeleteServiceAndWait(kService));
}

TEST_F(Scm, RunningDriverIsStoppedAndThenDeleted)
{
    ASSERT_EQ(CreateDriverService(kService, kService, "\\??\\" + HarnessBinary("harnessdriver.sys")), 0u);
    ASSERT_EQ(StartDriverService(kService), 0u);
    EXPECT_EQ(ServiceState(kService), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(StartDriverService(kService), DWORD{ERROR_SERVICE_ALREADY_RUNNING});
    EXPECT_NE(std::find(ServiceNames(SERVICE_DRIVER, SERVICE_ACTIVE).begin(),
                        ServiceNames(SERVICE_DRIVER, SERVICE_ACTIVE).end(), kService),
              ServiceNames(SERVICE_DRIVER, SERVICE_ACTIVE).end());
    EXPECT_TRUE(DeleteServiceAndWait(kService));
    EXPECT_FALSE(IsServiceListed(kService));
}

TEST_F(Scm, StopAnswersForStoppedRunningAndUnknownServices)
{
    ASSERT_EQ(CreateDriverService(kService, kService, "\\??\\" + HarnessBinary("harnessdriver.sys")), 0u);
    EXPECT_EQ(StopService(kService), 0u);
    ASSERT_EQ(StartDriverService(kService), 0u);
    EXPECT_EQ(StopService(kService), 0u);
    EXPECT_EQ(ServiceState(kService), DWORD{SERVICE_STOPPED});
    EXPECT_EQ(StopService("QB480TestNeverCreated"), DWORD{ERROR_SERVICE_DOES_NOT_EXIST});
}
