#include "board/PortNamePrefix.h"

#include <mbstring.h>

#include <vector>

#include "MessageBox.h"
#include "SettingsNames.h"
#include "windows/AuditLog.h"
#include "windows/ParamNames.h"
#include "board/PortModes.h"
#include "board/PrefixText.h"
#include "windows/Registry.h"

namespace qb480 {

namespace {

// The run-time's multibyte-aware upper-casing in the current code page.
std::string RuntimeUpperCase(const std::string& text)
{
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    _mbsupr(buffer.data());
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace

bool ReadPortNamePrefix(std::string& prefixText)
{
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    if (!key)
        return false;
    // Read whole: a prefix the administrator stored is never cut. One too
    // long to name any port is read as a failure, as in the advanced options.
    const WholeText read = ReadWholeText(key.get(), kValuePortNamePrefix, kMaxPrefixLength + 1);
    if (!read.text)
        return false;
    prefixText = *read.text;
    return true;
}

std::string PrefixAtOpening()
{
    std::string prefix(12, ' ');
    return ReadPortNamePrefix(prefix) ? TrimWhiteSpace(prefix) : kDefaultPrefix;
}

bool StorePortNamePrefix(const std::string& prefix)
{
    std::string text;
    const std::optional<std::string> before = ReadPortNamePrefix(text) ? std::optional<std::string>(text) : std::nullopt;
    const std::string stored = RuntimeUpperCase(prefix);
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key) {
        RecordSetting(settings::kPrefixKey, before, stored, false, "the driver's parameter key cannot be opened");
        return false;
    }
    const bool written = WriteText(key.get(), kValuePortNamePrefix, stored);
    if (!written)
        fw::AppMessageBox("Could not write Port Name Prefix");
    RecordSetting(settings::kPrefixKey, before, stored, written, "Could not write Port Name Prefix");
    return written;
}

bool StoreEnteredPrefix(const std::string& entry)
{
    return StorePortNamePrefix(TrimWhiteSpace(entry));
}

std::string PrefixAsStored(const std::string& entry) { return RuntimeUpperCase(TrimWhiteSpace(entry)); }

}  // namespace qb480
