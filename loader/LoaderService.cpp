#include "LoaderService.h"

#include "MessageBox.h"
#include "ParamNames.h"
#include "Registry.h"

namespace qb480 {

namespace {
// The loader spells the driver's key in lower case; key names ignore case.
constexpr char kDriverKeyAsLoaderReads[] = "SYSTEM\\CurrentControlSet\\Services\\vdxqb480\\Parameters";
}

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
    if (!WriteDword(key.get(), kValueMemSeg, memorySegment))
        fw::AppMessageBox("Could not write MemSeg");
    if (!WriteDword(key.get(), kValuePort, portAddress))
        fw::AppMessageBox("Could not write Port");
}

void WriteFirmwareFile(const std::string& imageName)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kLoaderParamKey);
    if (key && !WriteText(key.get(), kValueFirmwareFile, imageName))
        fw::AppMessageBox("Could not write Firmware filename");
}

}  // namespace qb480
