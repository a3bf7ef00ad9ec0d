#include "LoaderService.h"

#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"
#include "windows/SystemText.h"

namespace qb480 {

namespace {
// The loader spells the driver's key in lower case; key names ignore case.
constexpr char kDriverKeyAsLoaderReads[] = "SYSTEM\\CurrentControlSet\\Services\\vdxqb480\\Parameters";

// Room for any image name the Open dialog can produce.
constexpr std::size_t kFirmwareFileBuffer = 2 * MAX_PATH;

void WriteMemorySegment(HKEY key, std::uint32_t memorySegment)
{
    if (!WriteDword(key, kValueMemSeg, memorySegment))
        fw::AppMessageBox("Could not write MemSeg");
}

void WritePortAddress(HKEY key, std::uint32_t portAddress)
{
    if (!WriteDword(key, kValuePort, portAddress))
        fw::AppMessageBox("Could not write Port");
}

void WriteFirmwareName(HKEY key, const std::string& imageName)
{
    if (!WriteText(key, kValueFirmwareFile, imageName))
        fw::AppMessageBox("Could not write Firmware filename");
}

}  // namespace

std::uint32_t ReadDriverParameter(const char* name)
{
    const fw::UniqueHkey key = CreateKeyForReadWrite(kDriverKeyAsLoaderReads);
    return ReadDword(key.get(), name).value_or(0);
}

void WriteBoardParameters(std::uint32_t memorySegment, std::uint32_t portAddress)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kLoaderParamKey);
    if (!key)
        return;
    WriteMemorySegment(key.get(), memorySegment);
    WritePortAddress(key.get(), portAddress);
}

BoardCheck StoreBoardEntries(std::string& memorySegment, std::string& portAddress)
{
    memorySegment = SystemUpperCase(memorySegment);
    portAddress = SystemUpperCase(portAddress);
    const std::uint32_t memory = ParseHexText(memorySegment.c_str());
    const std::uint32_t port = ParseHexText(portAddress.c_str());
    const BoardCheck check = ValidateBoardResources(memory, port);
    if (check == BoardCheck::Ok)
        WriteBoardParameters(memory, port);
    return check;
}

void WriteFirmwareFile(const std::string& imageName)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kLoaderParamKey);
    if (key)
        WriteFirmwareName(key.get(), imageName);
}

HelperValues ReadHelperValues()
{
    const fw::UniqueHkey key = OpenKeyForQuery(kLoaderParamKey);
    HelperValues values;
    values.memorySegment = ReadDword(key.get(), kValueMemSeg);
    values.portAddress = ReadDword(key.get(), kValuePort);
    values.firmwareFile = ReadText(key.get(), kValueFirmwareFile, kFirmwareFileBuffer);
    return values;
}

void RestoreHelperValues(const HelperValues& values)
{
    const HelperValues now = ReadHelperValues();
    const bool memorySegmentLost = values.memorySegment && !now.memorySegment;
    const bool portAddressLost = values.portAddress && !now.portAddress;
    const bool firmwareFileLost = values.firmwareFile && !now.firmwareFile;
    if (!memorySegmentLost && !portAddressLost && !firmwareFileLost)
        return;
    const fw::UniqueHkey key = CreateKeyForWriting(kLoaderParamKey);
    if (!key)
        return;
    if (memorySegmentLost)
        WriteMemorySegment(key.get(), *values.memorySegment);
    if (portAddressLost)
        WritePortAddress(key.get(), *values.portAddress);
    if (firmwareFileLost)
        WriteFirmwareName(key.get(), *values.firmwareFile);
}

}  // namespace qb480
