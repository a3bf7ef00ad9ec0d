#include "board/PortNumbering.h"

#include "EntryText.h"
#include "MessageBox.h"
#include "SettingsNames.h"
#include "windows/AuditLog.h"
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

namespace {

// As the settings file names it: no index chosen is "none".
std::string IndexText(const std::optional<std::uint32_t>& first)
{
    return first ? fw::DecimalText(*first) : settings::kNone;
}

}  // namespace

void RecordRefusedFirstPort(std::optional<std::uint32_t> first, const std::string& why)
{
    const fw::UniqueHkey query = OpenKeyForQuery(kDriverParamKey);
    RecordRefusedSetting(settings::kFirstPortKey, IndexText(ReadDword(query.get(), kValueFirstPort)),
                         IndexText(first), why);
}

bool StoreFirstPort(std::optional<std::uint32_t> first)
{
    const fw::UniqueHkey query = OpenKeyForQuery(kDriverParamKey);
    const std::string before = IndexText(ReadDword(query.get(), kValueFirstPort));
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key) {
        fw::AppMessageBox("Could not open registry key");
        RecordSetting(settings::kFirstPortKey, before, IndexText(first), false, "Could not open registry key");
        return false;
    }
    bool written = true;
    if (!first)
        DeleteValue(key.get(), kValueFirstPort);  // a value that was not there is fine
    else if (!WriteDword(key.get(), kValueFirstPort, *first)) {
        fw::AppMessageBox("Could not write first port suffix");
        written = false;
    }
    RecordSetting(settings::kFirstPortKey, before, IndexText(first), written, "Could not write first port suffix");
    return written;
}

}  // namespace qb480
