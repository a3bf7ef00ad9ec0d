#include "board/PortNumbering.h"

#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"

namespace qb480 {

std::optional<std::uint32_t> ReadFirstPort()
{
    const fw::UniqueHkey key = CreateKeyForReading(kDriverParamKey);
    if (!key)
        fw::AppMessageBox("Could not open registry key");
    return ReadDword(key.get(), kValueFirstPort);
}

bool StoreFirstPort(std::optional<std::uint32_t> first)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key) {
        fw::AppMessageBox("Could not open registry key");
        return false;
    }
    if (!first) {
        DeleteValue(key.get(), kValueFirstPort);  // a value that was not there is fine
        return true;
    }
    if (WriteDword(key.get(), kValueFirstPort, *first))
        return true;
    fw::AppMessageBox("Could not write first port suffix");
    return false;
}

}  // namespace qb480
