#include "SimulatedBoard.h"

#include "HarnessFiles.h"
#include "RegValue.h"
#include "Scm.h"

namespace harness {

std::string FakeVdxPath()
{
    return WindowsPath(QB480_FAKEVDX_SYS);
}

std::string FakeLoaderPath()
{
    return WindowsPath(QB480_FAKELOADER_SYS);
}

std::string BoardDriverPath()
{
    return DriversFolder() + "\\vdxqb480.sys";
}

bool PlaceBoardDriver(CallSite where)
{
    if (CopyFileA(FakeVdxPath().c_str(), BoardDriverPath().c_str(), FALSE))
        return true;
    Fail(where, "set-up: copying " + FakeVdxPath() + " to " + BoardDriverPath() + " failed with " +
                    std::to_string(GetLastError()));
    return false;
}

bool RegisterBoardDriver(DWORD startType, CallSite where)
{
    if (!PlaceBoardDriver(where))
        return false;
    const DWORD error = CreateDriverService("VDXQB480", "VDXQB480", BoardDriverPath(), startType);
    if (error)
        Fail(where, "set-up: registering VDXQB480 failed with " + std::to_string(error));
    return error == 0;
}

HelperRecord ReadHelperRecord()
{
    HelperRecord record;
    record.present = KeyExists(kHelperRecordKey);
    record.memSeg = ReadDword(kHelperRecordKey, "MEM_SEG");
    record.port = ReadDword(kHelperRecordKey, "PORT");
    record.bytes = ReadDword(kHelperRecordKey, "Bytes");
    record.result = ReadDword(kHelperRecordKey, "Result");
    record.firmwareFile = ReadString(kHelperRecordKey, "FirmwareFile");
    return record;
}

}  // namespace harness
