// "Remove driver": refused while the driver runs; otherwise the service and
// the driver file go and the main dialog closes without storing the prefix.
#include "AppletSession.h"
#include "ImportFaults.h"

using namespace harness;

namespace {

using RemoveDriver = CInstalledAppletTest;

// Clicks "Remove driver" and waits until the dialog has closed or a box
// has come up; true when it closed.
bool ClickRemoveAndWaitForTheEnd(HWND main)
{
    Click(main, kRemoveDriver);
    WaitUntil([&] { return !IsWindowVisible(main) || FindMessageBox(kSelf); });
    return !IsWindowVisible(main);
}

// C:\drivers\vdxqb480.sys, with C:\ as this process's current drive for as
// long as it lives; removed with its folder afterwards.
class CStrayDriverFile {
public:
    CStrayDriverFile()
    {
        char directory[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof directory, directory);
        m_previousDirectory = directory;
        m_placed = SetCurrentDirectoryA("C:\\") &&
                   (CreateDirectoryA(kFolder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
                   CopyFileA(FakeVdxPath().c_str(), Path().c_str(), FALSE);
    }
    ~CStrayDriverFile()
    {
        DeleteFileA(Path().c_str());
        RemoveDirectoryA(kFolder);
        SetCurrentDirectoryA(m_previousDirectory.c_str());
    }
    CStrayDriverFile(const CStrayDriverFile&) = delete;
    CStrayDriverFile& operator=(const CStrayDriverFile&) = delete;

    bool Placed() const { return m_placed; }
    static std::string Path() { return std::string(kFolder) + "\\vdxqb480.sys"; }

private:
    static constexpr char kFolder[] = "C:\\drivers";
    std::string m_previousDirectory;
    bool m_placed = false;
};

}  // namespace

TEST_F(RemoveDriver, IsRefusedWhileTheDriverRuns)
{
    ASSERT_EQ(StartDriverService(kServiceName), 0u);
    WithMainDialog([&](HWND main) {
        Click(main, kRemoveDriver);
        EXPECT_EQ(TakeBox(),
                  "The driver is active. Please close all the applications that are using qb480 ports and then stop "
                  "the driver manually before attempting to remove it.");
        EXPECT_TRUE(Settle(main));
        EXPECT_TRUE(IsWindowVisible(main)) << "the main dialog closed";
    });
    EXPECT_EQ(ServiceState(kServiceName), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(FileExists(BoardDriverPath()));
}

TEST_F(RemoveDriver, DeletesServiceAndFileAndClosesWithoutStoringThePrefix)
{
    CRegWriteRecorder recorder(Cpl());
    ASSERT_TRUE(recorder.Active());
    const LONG result = WithMainDialog([&](HWND main) {
        SetText(main, kPrefix, "zzz");
        EXPECT_TRUE(ClickRemoveAndWaitForTheEnd(main));
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxesShown(), Texts{});
    EXPECT_TRUE(WaitUntilUnlisted(kServiceName, 2000)) << "VDXQB480 is still registered";
    EXPECT_FALSE(FileExists(BoardDriverPath()));
    // Wine deletes the service's key with the service, so the key cannot
    // tell; the writes can: the opening's alone, not the prefix typed.
    EXPECT_EQ(recorder.Writes("PortNamePrefix"), std::vector<RegValue>{Sz("COM")});
}

TEST_F(RemoveDriver, FileAlreadyGoneIsNotSpokenOf)
{
    ASSERT_TRUE(DeleteFileA(BoardDriverPath().c_str()));
    const LONG result = WithMainDialog([&](HWND main) { EXPECT_TRUE(ClickRemoveAndWaitForTheEnd(main)); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(BoxesShown(), Texts{});
    EXPECT_TRUE(WaitUntilUnlisted(kServiceName, 2000));
}

// Unable to tell whether the driver runs, the removal goes on as for a
// stopped one.
TEST_F(RemoveDriver, FailedEnumerationIsReportedAndTheRemovalGoesOn)
{
    CImportFaults faults(Cpl());
    WithMainDialog([&](HWND main) {
        ASSERT_TRUE(faults.Inject("EnumServicesStatusA", ERROR_ACCESS_DENIED));
        Click(main, kRemoveDriver);
        EXPECT_EQ(TakeBox(), "EnumServiceStatus failed in VDXDriverStarted");
        ExpectClosed(main);
    });
    EXPECT_EQ(BoxesShown(), Texts{"EnumServiceStatus failed in VDXDriverStarted"});
    EXPECT_TRUE(WaitUntilUnlisted(kServiceName, 2000));
    EXPECT_FALSE(FileExists(BoardDriverPath()));
}

TEST_F(RemoveDriver, UnregisteredServiceIsReportedAndTheFileKept)
{
    WithMainDialog([&](HWND main) {
        ASSERT_TRUE(DeleteServiceAndWait(kServiceName));
        Click(main, kRemoveDriver);
        EXPECT_EQ(TakeBox(), "failure: OpenService");
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_TRUE(FileExists(BoardDriverPath()));
}

TEST_F(RemoveDriver, UndeletableServiceIsReportedAndTheFileStillDeleted)
{
    // A service deleted while a handle stays open is only marked for
    // deletion: it can still be opened, but not deleted again.
    fw::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    fw::UniqueScHandle held(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(held);
    ASSERT_TRUE(DeleteService(held.get()));
    WithMainDialog([&](HWND main) {
        Click(main, kRemoveDriver);
        EXPECT_EQ(TakeBox(), "failure: DeleteService ");
        EXPECT_TRUE(WaitGone(main));
    });
    EXPECT_FALSE(FileExists(BoardDriverPath()));
}

TEST_F(RemoveDriver, UnknownSystemFolderDeletesNoOtherFile)
{
    // Without the system folder, "\drivers\vdxqb480.sys" would name a file
    // at the root of the current drive.
    CStrayDriverFile stray;
    ASSERT_TRUE(stray.Placed());
    CImportHook hook(Cpl(), nullptr, "GetSystemDirectoryA", reinterpret_cast<void*>(NoSystemDirectory));
    ASSERT_TRUE(hook) << "qb480.cpl does not import GetSystemDirectoryA";
    WithMainDialog([&](HWND main) { EXPECT_TRUE(ClickRemoveAndWaitForTheEnd(main)); });
    EXPECT_EQ(BoxesShown(), Texts{});
    EXPECT_TRUE(WaitUntilUnlisted(kServiceName, 2000));
    EXPECT_TRUE(FileExists(stray.Path())) << "a file outside the drivers folder was deleted";
}
