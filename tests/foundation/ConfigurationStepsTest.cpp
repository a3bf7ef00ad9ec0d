// The configuration steps the applet's dialogs take, called as a console
// program calls them: every message reaches the sink installed and no box, and
// each step tells whether it did all it was asked. The dialogs' own tests
// cover the order of their calls and their texts.
#include <gtest/gtest.h>

#include "board/BoardSettings.h"
#include "settingsfile/BoardSettingsFile.h"
#include "board/BoardState.h"
#include "BoxCollector.h"
#include "board/DriverService.h"
#include "board/EventLogSource.h"
#include "HarnessFiles.h"
#include "ImportFaults.h"
#include "MessageBox.h"
#include "board/PortNamePrefix.h"
#include "board/PortNumbering.h"
#include "RegValue.h"
#include "board/RemoveDriver.h"
#include "Scm.h"
#include "SimulatedBoard.h"
#include "board/PortModeWords.h"

namespace {

constexpr char kParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
constexpr char kModesKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters\\SpecialModes";
constexpr char kService[] = "VDXQB480";

// Takes the messages while it lives, as a console program's reporter does.
class CCollectingSink : public fw::CMessageSink {
public:
    CCollectingSink() : m_previous(fw::SetMessageSink(this)) {}
    ~CCollectingSink() { fw::SetMessageSink(m_previous); }
    void OnMessage(const char* text, fw::MessageKind) override { m_texts.push_back(text); }
    Texts m_texts;

private:
    fw::CMessageSink* m_previous;
};

class ConfigurationSteps : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(harness::ResetBaseline()); }
    void TearDown() override { harness::ResetBaseline(); }

    // The sink's texts for what action reported; a box shown meanwhile fails.
    template <typename Action>
    Texts Reported(Action action)
    {
        CCollectingSink sink;
        EXPECT_EQ(BoxTextsDuring([&] { action(); }), Texts{});
        return sink.m_texts;
    }
};

}  // namespace

TEST_F(ConfigurationSteps, TheBoardsStateIsReadWithoutCreatingAKey)
{
    qb480::BoardState state;
    EXPECT_EQ(Reported([&] { state = qb480::ReadBoardState(); }), Texts{});
    EXPECT_FALSE(harness::KeyExists(kParamKey));
    EXPECT_EQ(state.service, qb480::DriverServiceState::Absent);
    EXPECT_EQ(state.driverVersion, "Driver not active");
    EXPECT_FALSE(state.memory);
    EXPECT_FALSE(state.prefix);
    EXPECT_TRUE(state.ports.empty());

    ASSERT_TRUE(harness::RegisterBoardDriver(SERVICE_DEMAND_START));
    EXPECT_EQ(qb480::ReadBoardState().service, qb480::DriverServiceState::Stopped);
    EXPECT_FALSE(harness::KeyExists(kParamKey));

    // On the simulated board: ports COM3 to COM10, one of them configured.
    ASSERT_EQ(harness::StartDriverService(kService), 0u);
    ASSERT_TRUE(harness::WriteValue(kParamKey, "PortNamePrefix", harness::Sz("COM")));
    ASSERT_TRUE(harness::WriteValue(kParamKey, "MEM_SEG", harness::Dword(0xD0000)));
    ASSERT_TRUE(harness::WriteValue(kParamKey, "FirstPort", harness::Dword(7)));
    ASSERT_TRUE(harness::WriteValue(kModesKey, "COM4", harness::Dword(0x0A080403)));
    state = qb480::ReadBoardState();
    EXPECT_EQ(state.service, qb480::DriverServiceState::Running);
    EXPECT_EQ(state.driverVersion, "QB480 test driver 1.0");
    EXPECT_EQ(state.memory, 0xD0000u);
    EXPECT_FALSE(state.port);
    EXPECT_EQ(state.firstPort, 7u);
    EXPECT_EQ(state.totalPorts, 8u);
    ASSERT_EQ(state.ports.size(), 8u);
    EXPECT_EQ(state.ports[0].name, "COM3");
    EXPECT_FALSE(state.ports[0].stored);
    EXPECT_EQ(state.ports[1].stored, 0x0A080403u);
    EXPECT_EQ(state.ports[7].name, "COM10");
}

TEST_F(ConfigurationSteps, AnExportReadsBackWholeAgainstTheSameBoard)
{
    ASSERT_TRUE(harness::WriteValue(kParamKey, "TotalNumberOfPorts", harness::Dword(4)));
    ASSERT_TRUE(harness::WriteValue(kParamKey, "PortsStartingAt", harness::Dword(9)));
    ASSERT_TRUE(harness::WriteValue(kParamKey, "PortNamePrefix", harness::Sz("TTY")));
    ASSERT_TRUE(harness::WriteValue(kParamKey, "IRQ", harness::Dword(7)));
    ASSERT_TRUE(harness::WriteValue(kModesKey, "TTY12", harness::Dword(0x05060701)));
    const qb480::BoardState state = qb480::ReadBoardState();
    const qb480::SettingsHeader header{"qb480cfg", "1.0.0", "PC7", "2024-05-01 12:34:56"};
    const std::string file = qb480::WriteSettings(header, qb480::SettingsOf(state), "TTY");
    // Only what is stored: no memory address, one port's modes, no index.
    EXPECT_EQ(file.find("Memory Address"), std::string::npos) << file;
    EXPECT_NE(file.find("Start from this index = none"), std::string::npos) << file;
    EXPECT_EQ(file.find("[Port TTY9]"), std::string::npos) << file;
    EXPECT_NE(file.find("[Port TTY12]\r\nRx Timeout = 5\r\nRx Threshold = 6\r\nTx Load = 7\r\n"), std::string::npos)
        << file;

    const auto read = qb480::ReadSettings(file, qb480::BoardPortsOf(state));
    ASSERT_TRUE(read.settings) << read.refusal.line << ": " << read.refusal.reason;
    EXPECT_EQ(qb480::WriteSettings(header, *read.settings, "TTY"), file);
    EXPECT_EQ(qb480::ReadSettings("[Port TTY13]", qb480::BoardPortsOf(state)).refusal.reason,
              "the board has no port TTY13: its ports are TTY9 to TTY12");
}

TEST_F(ConfigurationSteps, FailedWritesAreReportedToTheSinkAndReturned)
{
    harness::CImportFaults faults(GetModuleHandleA(nullptr));
    ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
    bool stored = true;
    EXPECT_EQ(Reported([&] { stored = qb480::StoreBoardResources({0xD0000, 0x300, 5}); }),
              (Texts{"Could not write MemSeg", "Could not write Irq", "Could not write Port",
                     "Configuration stored in the Registry"}));
    EXPECT_FALSE(stored);
    EXPECT_EQ(Reported([&] { stored = qb480::StoreEnteredPrefix(" com "); }),
              Texts{"Could not write Port Name Prefix"});
    EXPECT_FALSE(stored);
    EXPECT_EQ(Reported([&] { stored = qb480::StoreFirstPort(7u); }),
              Texts{"Could not write first port suffix"});
    EXPECT_FALSE(stored);
    EXPECT_EQ(Reported([&] { stored = qb480::StoreSpecialModes("COM3", 1); }),
              Texts{"Could not write the magic data"});
    EXPECT_FALSE(stored);
    EXPECT_FALSE(harness::ReadValue(kParamKey, "MEM_SEG"));

    ASSERT_TRUE(faults.Inject("RegCreateKeyExA", ERROR_ACCESS_DENIED));
    EXPECT_EQ(Reported([&] { stored = qb480::StoreFirstPort(std::nullopt); }),
              Texts{"Could not open registry key"});
    EXPECT_FALSE(stored);
}

TEST_F(ConfigurationSteps, StoredValuesReadBackAsTheDialogsShowThem)
{
    const auto judged = qb480::JudgeBoardEntries("d0000", "2a0", 5);
    ASSERT_EQ(judged.check, qb480::BoardCheck::Ok);
    EXPECT_EQ(Reported([&] { EXPECT_TRUE(qb480::StoreBoardResources(judged.resources)); }),
              Texts{"Configuration stored in the Registry"});
    EXPECT_EQ(qb480::ReadBoardResources().port, 0x2A0u);
    EXPECT_EQ(qb480::JudgeBoardEntries("D0000 ", "300", 5).check, qb480::BoardCheck::MemoryOutOfRange);

    EXPECT_TRUE(qb480::StoreEnteredPrefix(" lpt "));
    EXPECT_EQ(harness::ReadValue(kParamKey, "PortNamePrefix"), harness::Sz("LPT"));
    EXPECT_EQ(qb480::PrefixAtOpening(), "LPT");

    EXPECT_TRUE(qb480::StoreFirstPort(12u));
    EXPECT_EQ(qb480::ReadFirstPort(), 12u);
    EXPECT_TRUE(qb480::StoreFirstPort(std::nullopt));
    EXPECT_FALSE(harness::ReadValue(kParamKey, "FirstPort"));
}

TEST_F(ConfigurationSteps, InstallationAndRemovalTellTheirOutcome)
{
    qb480::InstallOutcome installed = qb480::InstallOutcome::Done;
    EXPECT_EQ(Reported([&] { installed = qb480::RegisterDriverService(); }),
              Texts{"Driver file not found"});
    EXPECT_EQ(installed, qb480::InstallOutcome::FileMissing);
    EXPECT_FALSE(harness::ServiceState(kService));

    qb480::RemovalOutcome removed = qb480::RemovalOutcome::Removed;
    EXPECT_EQ(Reported([&] { removed = qb480::RemoveBoardDriver(); }),
              Texts{"failure: OpenService"});
    EXPECT_EQ(removed, qb480::RemovalOutcome::Failed);

    ASSERT_TRUE(harness::PlaceBoardDriver());
    EXPECT_EQ(qb480::RegisterDriverService(), qb480::InstallOutcome::Done);
    const auto config = harness::QueryServiceConfiguration(kService);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->imagePath, harness::BoardDriverPath());
    bool entered = false;
    EXPECT_EQ(Reported([&] { entered = qb480::RegisterEventLogSource(); }), Texts{});
    EXPECT_TRUE(entered);

    ASSERT_EQ(harness::StartDriverService(kService), 0u);
    EXPECT_EQ(Reported([&] { removed = qb480::RemoveBoardDriver(); }),
              Texts{"The driver is active. Please close all the applications that are using qb480 ports and then "
                    "stop the driver manually before attempting to remove it."});
    EXPECT_EQ(removed, qb480::RemovalOutcome::DriverActive);
    ASSERT_EQ(harness::StopService(kService), 0u);
    EXPECT_EQ(qb480::RemoveBoardDriver(), qb480::RemovalOutcome::Removed);
    EXPECT_TRUE(harness::WaitUntilUnlisted(kService));
    EXPECT_FALSE(harness::FileExists(harness::BoardDriverPath()));
}
