// The test-double drivers under Wine's Service Control Manager, started and
// stopped as the applet and the firmware loader will start and stop the real
// ones. Every later end-to-end test relies on what is proved here: the values
// fakevdx.sys publishes, what fakeloader.sys accepts, copies and records.
// Some expectations are Wine's behaviour, which no page documents: the error
// StartService gives for a DriverEntry that fails (ERROR_GEN_FAILURE,
// ERROR_FILE_NOT_FOUND), and SERVICE_STOPPED in the status a stop returns
// (ControlService's page allows the last state the driver reported). The
// deliverables judge a start by its success alone and wait for no state.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "FirmwareFiles.h"
#include "HarnessFiles.h"
#include "windows/ParamNames.h"
#include "RegValue.h"
#include "Robot.h"
#include "Scm.h"
#include "SimulatedBoard.h"
#include "UniqueHandle.h"
#include "TestKeys.h"

namespace {

using namespace harness;
using Clock = std::chrono::steady_clock;

constexpr char kFakeVersion[] = "QB480 test driver 1.0";

// NTSTATUS values the fake loader records as its Result. StartService turns
// them into ERROR_GEN_FAILURE, ERROR_INVALID_PARAMETER and ERROR_FILE_NOT_FOUND.
constexpr DWORD kStatusUnsuccessful = 0xC0000001;
constexpr DWORD kStatusInvalidParameter = 0xC000000D;
constexpr DWORD kStatusNameNotFound = 0xC0000034;

// A folder with a blank in its name, as a loader installed under
// "Program Files" would have.
std::string LoaderFolder()
{
    char buffer[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    return std::string(buffer, n) + "qb480 driver test";
}

// Bit by bit, independent of the driver's code.
uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string FirmwareDescription(const std::string& bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "size %u crc32 %08X", static_cast<unsigned>(bytes.size()),
                  static_cast<unsigned>(Crc32(bytes)));
    return text;
}

DWORD StateOf(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// --- fixture -----------------------------------------------------------------

// Every test starts and ends without the two services, their keys, the test
// key, the images and the board, whatever an earlier (failed) run left.
class DriverDoubles : public ::testing::Test {
protected:
    static std::string VdxParameters() { return qb480::kDriverParamKey; }
    static std::string LoaderParameters() { return qb480::kLoaderParamKey; }
    static std::string VdxImage() { return BoardDriverPath(); }
    // A file of its own for each run, named by the process too: Wine was
    // seen to keep a refused driver's image mapped long after its service
    // had gone, so the folder's clean-up may leave an earlier test's image,
    // which copying over fails with a sharing violation.
    std::string NextLoaderImage()
    {
        return LoaderFolder() + "\\loader" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++m_loaderRuns) + ".sys";
    }
    static std::string Firmware(const char* name) { return DriversFolder() + "\\" + name; }

    void SetUp() override
    {
        Clean();
        ASSERT_FALSE(IsServiceListed(qb480::kDriverServiceName));
        ASSERT_FALSE(IsServiceListed(qb480::kLoaderServiceName));
        ASSERT_FALSE(FileExists(kBoardFile));
        m_scm.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(m_scm) << GetLastError();
    }

    void TearDown() override
    {
        m_scm.reset();
        Clean();
    }

    // The harness's baseline, and the helper's folder of these tests.
    static void Clean()
    {
        ResetBaseline();
        std::error_code ignored;
        std::filesystem::remove_all(LoaderFolder(), ignored);
    }

    // The board driver as the applet installs it: a kernel driver started on
    // demand, its image in the drivers folder.
    fw::UniqueScHandle CreateVdx(const std::string& imagePath)
    {
        if (!PlaceBoardDriver())
            return fw::UniqueScHandle();
        fw::UniqueScHandle service(CreateServiceA(m_scm.get(), qb480::kDriverServiceName, qb480::kDriverServiceName,
                                        SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                        SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr, nullptr,
                                        nullptr, nullptr));
        if (!service)
            ADD_FAILURE() << "CreateServiceA: " << GetLastError();
        return service;
    }

    fw::UniqueScHandle CreateVdx() { return CreateVdx(VdxImage()); }

    // 0, or StartService's error.
    static DWORD Start(SC_HANDLE service)
    {
        return StartServiceA(service, 0, nullptr) ? ERROR_SUCCESS : GetLastError();
    }

    // Stops a running driver and checks that it went, as the applet's and
    // the loader's stop do.
    static void Stop(SC_HANDLE service)
    {
        SERVICE_STATUS status{};
        ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), StateOf(service));
    }

    // One download as qb480load performs it: the service is registered,
    // `writeParameters` fills its Parameters key, and it is started, stopped
    // and deleted. Returns StartService's error (0: success).
    DWORD RunLoader(const std::function<void()>& writeParameters)
    {
        CreateDirectoryA(LoaderFolder().c_str(), nullptr);
        const std::string image = NextLoaderImage();
        if (!CopyFileA(FakeLoaderPath().c_str(), image.c_str(), FALSE)) {
            ADD_FAILURE() << "copy of " << FakeLoaderPath() << ": " << GetLastError();
            return ERROR_FILE_NOT_FOUND;
        }
        DWORD result;
        {
            fw::UniqueScHandle service(CreateServiceA(m_scm.get(), qb480::kLoaderServiceName, qb480::kLoaderServiceName,
                                            SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                            SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr,
                                            nullptr, nullptr, nullptr));
            if (!service) {
                ADD_FAILURE() << "CreateServiceA: " << GetLastError();
                return ERROR_SERVICE_DOES_NOT_EXIST;
            }
            writeParameters();
            auto start = Clock::now();
            result = Start(service.get());
            m_loaderStartMs = MsSince(start);
            if (result == ERROR_SUCCESS)
                Stop(service.get());
            else
                EXPECT_NE(static_cast<DWORD>(SERVICE_RUNNING), StateOf(service.get()));
            EXPECT_TRUE(DeleteService(service.get())) << GetLastError();
        }
        EXPECT_TRUE(WaitUntilUnlisted(qb480::kLoaderServiceName, 10000));
        return result;
    }

    // The same with the three values the loader writes, each only when given.
    DWORD RunLoader(std::optional<DWORD> memSeg, std::optional<DWORD> port, std::optional<std::string> file)
    {
        return RunLoader([&] {
            if (memSeg) {
                EXPECT_TRUE(WriteValue(LoaderParameters(), qb480::kValueMemSeg, Dword(*memSeg)));
            }
            if (port) {
                EXPECT_TRUE(WriteValue(LoaderParameters(), qb480::kValuePort, Dword(*port)));
            }
            if (file) {
                EXPECT_TRUE(WriteValue(LoaderParameters(), qb480::kValueFirmwareFile, Sz(*file)));
            }
        });
    }

    fw::UniqueScHandle m_scm;
    long long m_loaderStartMs = 0;
    int m_loaderRuns = 0;
};

// --- fakevdx.sys -------------------------------------------------------------

// The image path forms a service may be registered with. The applet writes
// the %SystemRoot% form; the others must work as well, or a test of the
// applet could blame it for a fault of the double. (Wine 8 does not load the
// relative form "system32\drivers\x.sys": StartService fails with 1114.)
struct ImagePathForm {
    const char* name;
    std::string (*path)();
};

void PrintTo(const ImagePathForm& form, std::ostream* out) { *out << form.name; }

class FakeVdxImagePath : public DriverDoubles, public ::testing::WithParamInterface<ImagePathForm> {};

TEST_P(FakeVdxImagePath, PublishesValuesStopsAndRestarts)
{
    fw::UniqueScHandle service = CreateVdx(GetParam().path());
    ASSERT_TRUE(service);

    auto started = Clock::now();
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    long long startMs = MsSince(started);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), StateOf(service.get()));
    // A second start of a running driver is refused, as on Windows.
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), Start(service.get()));

    EXPECT_EQ(kFakeVersion, ReadString(VdxParameters(), qb480::kValueDriverVersion).value_or("(absent)"));
    EXPECT_EQ("no firmware", ReadString(VdxParameters(), qb480::kValueFirmwareVersion).value_or("(absent)"));
    EXPECT_EQ(8u, ReadDword(VdxParameters(), qb480::kValueTotalNumberOfPorts).value_or(0));
    EXPECT_EQ(3u, ReadDword(VdxParameters(), qb480::kValuePortsStartingAt).value_or(0));

    auto stopped = Clock::now();
    Stop(service.get());
    long long stopMs = MsSince(stopped);
    std::printf("fakevdx.sys: start %lld ms, stop %lld ms\n", startMs, stopMs);

    // The driver unloaded cleanly, so it can be started again.
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), StateOf(service.get()));
    Stop(service.get());
}

const ImagePathForm kImagePathForms[] = {
    {"FullPath", [] { return DriversFolder() + "\\vdxqb480.sys"; }},
    {"SystemRootVariable", [] { return std::string("%SystemRoot%\\system32\\drivers\\vdxqb480.sys"); }},
    {"KernelSystemRoot", [] { return std::string("\\SystemRoot\\system32\\drivers\\vdxqb480.sys"); }},
};

INSTANTIATE_TEST_SUITE_P(Forms, FakeVdxImagePath, ::testing::ValuesIn(kImagePathForms),
                         [](const ::testing::TestParamInfo<ImagePathForm>& info) { return info.param.name; });

TEST_F(DriverDoubles, FakeVdxPortKnobsOverrideTheCounts)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestPorts", Dword(16)));
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestFirstPort", Dword(21)));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ(16u, ReadDword(VdxParameters(), qb480::kValueTotalNumberOfPorts).value_or(0));
    EXPECT_EQ(21u, ReadDword(VdxParameters(), qb480::kValuePortsStartingAt).value_or(0));
    EXPECT_EQ(kFakeVersion, ReadString(VdxParameters(), qb480::kValueDriverVersion).value_or("(absent)"));
    Stop(service.get());
}

TEST_F(DriverDoubles, FakeVdxNoVersionsKnobLeavesTheVersionsOut)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    // As left by an earlier start of the same service.
    ASSERT_TRUE(WriteValue(VdxParameters(), qb480::kValueDriverVersion, Sz("old")));
    ASSERT_TRUE(WriteValue(VdxParameters(), qb480::kValueFirmwareVersion, Sz("old")));
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestNoVersions", Dword(1)));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_FALSE(ReadString(VdxParameters(), qb480::kValueDriverVersion).has_value());
    EXPECT_FALSE(ReadString(VdxParameters(), qb480::kValueFirmwareVersion).has_value());
    EXPECT_EQ(8u, ReadDword(VdxParameters(), qb480::kValueTotalNumberOfPorts).value_or(0));
    EXPECT_EQ(3u, ReadDword(VdxParameters(), qb480::kValuePortsStartingAt).value_or(0));
    Stop(service.get());
}

TEST_F(DriverDoubles, FakeVdxFailStartKnobFailsTheStartAndWritesNothing)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestFailStart", Dword(1)));
    // STATUS_UNSUCCESSFUL reaches the caller as ERROR_GEN_FAILURE (Wine's
    // mapping; StartService's page names no error for it).
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), Start(service.get()));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), StateOf(service.get()));
    EXPECT_FALSE(ReadString(VdxParameters(), qb480::kValueDriverVersion).has_value());
    EXPECT_FALSE(ReadString(VdxParameters(), qb480::kValueFirmwareVersion).has_value());
    EXPECT_FALSE(ReadDword(VdxParameters(), qb480::kValueTotalNumberOfPorts).has_value());
    EXPECT_FALSE(ReadDword(VdxParameters(), qb480::kValuePortsStartingAt).has_value());
}

TEST_F(DriverDoubles, FakeVdxDelayKnobKeepsTheStartPending)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestDelayMs", Dword(1000)));

    DWORD result = ERROR_IO_PENDING;
    std::atomic<bool> done{false};
    auto started = Clock::now();
    long long startMs = 0;
    std::thread starter([&] {
        result = Start(service.get());
        startMs = MsSince(started);
        done = true;
    });
    // Watched through a handle of its own, as the applet would from its UI.
    fw::UniqueScHandle watcher(OpenServiceA(m_scm.get(), qb480::kDriverServiceName, SERVICE_QUERY_STATUS));
    bool sawPending = false;
    while (!done && MsSince(started) < 5000) {
        if (StateOf(watcher.get()) == SERVICE_START_PENDING)
            sawPending = true;
        Sleep(20);
    }
    starter.join();
    ASSERT_EQ(ERROR_SUCCESS, result);
    EXPECT_TRUE(sawPending);
    EXPECT_GE(startMs, 950);
    EXPECT_EQ(kFakeVersion, ReadString(VdxParameters(), qb480::kValueDriverVersion).value_or("(absent)"));
    Stop(service.get());
}

TEST_F(DriverDoubles, FakeVdxStopDelayKnobKeepsTheStopPending)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    ASSERT_TRUE(WriteValue(VdxParameters(), "TestStopDelayMs", Dword(1000)));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    const auto stopping = Clock::now();
    BOOL accepted = FALSE;
    std::thread stopper([&] {
        SERVICE_STATUS status{};
        accepted = ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    });
    const fw::UniqueScHandle watcher(OpenServiceA(m_scm.get(), qb480::kDriverServiceName, SERVICE_QUERY_STATUS));
    EXPECT_TRUE(WaitUntil([&] { return StateOf(watcher.get()) == SERVICE_STOP_PENDING; }, 3000));
    stopper.join();
    EXPECT_TRUE(accepted) << GetLastError();
    EXPECT_TRUE(WaitUntil([&] { return StateOf(watcher.get()) == SERVICE_STOPPED; }, 5000));
    EXPECT_GE(MsSince(stopping), 950);
}

TEST_F(DriverDoubles, FakeVdxFirmwareVersionDescribesTheBoardImage)
{
    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);

    // The standard CRC-32 check value.
    ASSERT_TRUE(WriteFileBytes(kBoardFile, "123456789"));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ("size 9 crc32 CBF43926", ReadString(VdxParameters(), qb480::kValueFirmwareVersion).value_or(""));
    Stop(service.get());

    // Several read chunks, and read again at each start.
    const std::string image = FirmwareImage(200000, 7);
    ASSERT_TRUE(WriteFileBytes(kBoardFile, image));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ(FirmwareDescription(image), ReadString(VdxParameters(), qb480::kValueFirmwareVersion).value_or(""));
    Stop(service.get());

    ASSERT_TRUE(WriteFileBytes(kBoardFile, ""));
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ("size 0 crc32 00000000", ReadString(VdxParameters(), qb480::kValueFirmwareVersion).value_or(""));
    Stop(service.get());
}

// --- fakeloader.sys ----------------------------------------------------------

TEST_F(DriverDoubles, FakeLoaderCopiesTheImageIntoTheBoardAndRecordsTheRun)
{
    const std::string image = FirmwareImage(70000, 1);
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), image));

    ASSERT_EQ(ERROR_SUCCESS, RunLoader(0xD0000, 0x300, std::string("fw.bin")));
    std::printf("fakeloader.sys: start with a 70000-byte image %lld ms\n", m_loaderStartMs);

    const std::string board = ReadFileBytes(kBoardFile).value_or("");
    EXPECT_EQ(image.size(), board.size());
    EXPECT_TRUE(board == image) << "the board differs from the image";
    EXPECT_EQ(0xD0000u, ReadDword(kHelperRecordKey, qb480::kValueMemSeg).value_or(0));
    EXPECT_EQ(0x300u, ReadDword(kHelperRecordKey, qb480::kValuePort).value_or(0));
    EXPECT_EQ("fw.bin", ReadString(kHelperRecordKey, qb480::kValueFirmwareFile).value_or("(absent)"));
    EXPECT_EQ(70000u, ReadDword(kHelperRecordKey, "Bytes").value_or(0));
    EXPECT_EQ(0u, ReadDword(kHelperRecordKey, "Result").value_or(0xFFFFFFFF));
    // Why the record exists: the service's own key went with the service.
    EXPECT_FALSE(KeyExists(LoaderParameters()));
}

TEST_F(DriverDoubles, FakeVdxReportsTheImageTheLoaderDownloaded)
{
    const std::string image = FirmwareImage(70000, 2);
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), image));
    ASSERT_EQ(ERROR_SUCCESS, RunLoader(0xC0000, 0x100, std::string("fw.bin")));

    fw::UniqueScHandle service = CreateVdx();
    ASSERT_TRUE(service);
    ASSERT_EQ(ERROR_SUCCESS, Start(service.get()));
    EXPECT_EQ(FirmwareDescription(image), ReadString(VdxParameters(), qb480::kValueFirmwareVersion).value_or(""));
    Stop(service.get());
}

TEST_F(DriverDoubles, FakeLoaderAcceptsTheBoundsOfEveryRange)
{
    const std::string image = FirmwareImage(100, 3);
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), image));
    for (DWORD memSeg : {0xC0000u, 0xD0000u, 0xE0000u, 0xF0000u}) {
        for (DWORD port : {0x100u, 0x2A8u, 0x3FCu}) {
            SCOPED_TRACE(testing::Message() << std::hex << "MEM_SEG 0x" << memSeg << " PORT 0x" << port);
            DeleteFileA(kBoardFile);
            EXPECT_EQ(ERROR_SUCCESS, RunLoader(memSeg, port, std::string("fw.bin")));
            EXPECT_EQ(image, ReadFileBytes(kBoardFile));
            EXPECT_EQ(memSeg, ReadDword(kHelperRecordKey, qb480::kValueMemSeg).value_or(0));
            EXPECT_EQ(port, ReadDword(kHelperRecordKey, qb480::kValuePort).value_or(0));
        }
    }
}

// A start the loader must refuse: what is written, the error StartService
// gives, and the status the double records.
struct Refusal {
    const char* name;
    std::optional<DWORD> memSeg;
    std::optional<DWORD> port;
    std::optional<std::string> file;
    DWORD error;
    DWORD status;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class FakeLoaderRefuses : public DriverDoubles, public ::testing::WithParamInterface<Refusal> {};

TEST_P(FakeLoaderRefuses, FailsKeepsTheBoardAndRecords)
{
    const Refusal& r = GetParam();
    // Present, so that only the values can be the reason for the refusal.
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), FirmwareImage(1000, 4)));
    // A board holding an earlier image, which a refused download must keep.
    const std::string earlier = FirmwareImage(500, 5);
    ASSERT_TRUE(WriteFileBytes(kBoardFile, earlier));

    EXPECT_EQ(r.error, RunLoader(r.memSeg, r.port, r.file));

    EXPECT_EQ(earlier, ReadFileBytes(kBoardFile));
    EXPECT_EQ(r.status, ReadDword(kHelperRecordKey, "Result").value_or(0));
    EXPECT_EQ(r.memSeg, ReadDword(kHelperRecordKey, qb480::kValueMemSeg));
    EXPECT_EQ(r.port, ReadDword(kHelperRecordKey, qb480::kValuePort));
    EXPECT_EQ(r.file, ReadString(kHelperRecordKey, qb480::kValueFirmwareFile));
    EXPECT_FALSE(ReadDword(kHelperRecordKey, "Bytes").has_value());
}

constexpr DWORD kSeg = 0xD0000, kPort = 0x300;
const std::string kFile = "fw.bin";

const Refusal kRefusals[] = {
    {"NoMemSeg", std::nullopt, kPort, kFile, ERROR_FILE_NOT_FOUND, kStatusNameNotFound},
    {"NoPort", kSeg, std::nullopt, kFile, ERROR_FILE_NOT_FOUND, kStatusNameNotFound},
    {"NoFirmwareFile", kSeg, kPort, std::nullopt, ERROR_FILE_NOT_FOUND, kStatusNameNotFound},
    {"MemSegBelowC0000", 0xB0000, kPort, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"MemSegNotOnA64KBoundary", 0xC8000, kPort, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"MemSegAboveF0000", 0x100000, kPort, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"MemSegZero", 0, kPort, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"PortBelow100", kSeg, 0xFC, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"PortAbove3FC", kSeg, 0x400, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"PortNotAMultipleOf4", kSeg, 0x302, kFile, ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"FirmwareFileEmpty", kSeg, kPort, std::string(""), ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"FirmwareFileWithFolder", kSeg, kPort, std::string("sub\\fw.bin"), ERROR_INVALID_PARAMETER,
     kStatusInvalidParameter},
    {"FirmwareFileWithSlash", kSeg, kPort, std::string("sub/fw.bin"), ERROR_INVALID_PARAMETER,
     kStatusInvalidParameter},
    {"FirmwareFileFullPath", kSeg, kPort, std::string("C:\\windows\\system32\\drivers\\fw.bin"),
     ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"FirmwareFileWithDrive", kSeg, kPort, std::string("C:fw.bin"), ERROR_INVALID_PARAMETER,
     kStatusInvalidParameter},
    {"FirmwareFileParent", kSeg, kPort, std::string(".."), ERROR_INVALID_PARAMETER, kStatusInvalidParameter},
    {"FirmwareFileMissing", kSeg, kPort, std::string("absent.bin"), ERROR_FILE_NOT_FOUND, kStatusNameNotFound},
};

INSTANTIATE_TEST_SUITE_P(Cases, FakeLoaderRefuses, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(DriverDoubles, FakeLoaderRefusesValuesOfAnotherType)
{
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), FirmwareImage(1000, 6)));
    for (const char* value : {qb480::kValueMemSeg, qb480::kValuePort, qb480::kValueFirmwareFile}) {
        SCOPED_TRACE(value);
        DWORD result = RunLoader([&] {
            ASSERT_TRUE(WriteValue(LoaderParameters(), qb480::kValueMemSeg, Dword(kSeg)));
            ASSERT_TRUE(WriteValue(LoaderParameters(), qb480::kValuePort, Dword(kPort)));
            ASSERT_TRUE(WriteValue(LoaderParameters(), qb480::kValueFirmwareFile, Sz(kFile)));
            // The same meaning in the wrong type: a number as text, a name
            // that would be expanded.
            if (std::strcmp(value, qb480::kValueFirmwareFile) == 0) {
                ASSERT_TRUE(WriteValue(LoaderParameters(), value, RegValue{REG_EXPAND_SZ, kFile + '\0'}));
            } else {
                ASSERT_TRUE(WriteValue(LoaderParameters(), value, Sz("0x300")));
            }
        });
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), result);
        EXPECT_FALSE(FileExists(kBoardFile));
        EXPECT_EQ(kStatusInvalidParameter, ReadDword(kHelperRecordKey, "Result").value_or(0));
        // Only values of the right type are recorded.
        EXPECT_EQ(std::strcmp(value, qb480::kValueMemSeg) != 0,
                  ReadDword(kHelperRecordKey, qb480::kValueMemSeg).has_value());
        EXPECT_EQ(std::strcmp(value, qb480::kValueFirmwareFile) != 0,
                  ReadString(kHelperRecordKey, qb480::kValueFirmwareFile).has_value());
    }
}

TEST_F(DriverDoubles, FakeLoaderWithoutParametersKeyFails)
{
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), FirmwareImage(1000, 6)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RunLoader(std::nullopt, std::nullopt, std::nullopt));
    EXPECT_FALSE(FileExists(kBoardFile));
    EXPECT_EQ(kStatusNameNotFound, ReadDword(kHelperRecordKey, "Result").value_or(0));
}

TEST_F(DriverDoubles, FakeLoaderFailStartKnobRefusesBeforeReadingAnything)
{
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), FirmwareImage(1000, 7)));
    ASSERT_TRUE(WriteValue(kTestKey, "LoaderFailStart", Dword(1)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), RunLoader(kSeg, kPort, kFile));
    EXPECT_FALSE(FileExists(kBoardFile));
    EXPECT_EQ(kStatusUnsuccessful, ReadDword(kHelperRecordKey, "Result").value_or(0));
    EXPECT_FALSE(ReadDword(kHelperRecordKey, qb480::kValueMemSeg).has_value());
    EXPECT_FALSE(ReadString(kHelperRecordKey, qb480::kValueFirmwareFile).has_value());
}

TEST_F(DriverDoubles, FakeLoaderRecordDescribesTheLatestRunOnly)
{
    ASSERT_TRUE(WriteValue(kHelperRecordKey, qb480::kValueFirmwareFile, Sz("old.bin")));
    ASSERT_TRUE(WriteValue(kHelperRecordKey, "Bytes", Dword(5)));
    ASSERT_TRUE(WriteValue(kHelperRecordKey, qb480::kValuePort, Dword(0x200)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RunLoader(kSeg, std::nullopt, std::nullopt));
    EXPECT_EQ(kSeg, ReadDword(kHelperRecordKey, qb480::kValueMemSeg).value_or(0));
    EXPECT_FALSE(ReadDword(kHelperRecordKey, qb480::kValuePort).has_value());
    EXPECT_FALSE(ReadString(kHelperRecordKey, qb480::kValueFirmwareFile).has_value());
    EXPECT_FALSE(ReadDword(kHelperRecordKey, "Bytes").has_value());
}

TEST_F(DriverDoubles, FakeLoaderDelayKnobBlocksTheStart)
{
    const std::string image = FirmwareImage(3000, 8);
    ASSERT_TRUE(WriteFileBytes(Firmware("fw.bin"), image));
    ASSERT_TRUE(WriteValue(kTestKey, "LoaderDelayMs", Dword(800)));
    EXPECT_EQ(ERROR_SUCCESS, RunLoader(kSeg, kPort, kFile));
    EXPECT_GE(m_loaderStartMs, 750);
    EXPECT_EQ(image, ReadFileBytes(kBoardFile));
}

}  // namespace
