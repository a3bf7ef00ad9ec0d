#include "board/EventLogSource.h"

#include <windows.h>

#include <string>

#include "MessageBox.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"
#include "windows/SourcesList.h"

namespace qb480 {

namespace {

// Appends our name to the log's list of sources. A list that is absent or
// holds no more than its closing zeros is left alone. False when the new
// list could not be stored.
bool AddToSources(HKEY eventLog)
{
    BYTE probe[2];
    DWORD size = sizeof probe;
    if (RegQueryValueExA(eventLog, kValueSources, nullptr, nullptr, probe, &size) != ERROR_MORE_DATA)
        return true;
    std::string data(size, '\0');
    DWORD read = size;
    if (RegQueryValueExA(eventLog, kValueSources, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &read) !=
        ERROR_SUCCESS)
        return false;
    data.resize(read);
    const auto list = AppendSourceName(data, kEventLogSourceName);
    if (list && !WriteBytes(eventLog, kValueSources, REG_MULTI_SZ, *list)) {
        fw::AppMessageBox("Could not set the REG_MULTI_SZ value, maybe you could do it yourself...");
        return false;
    }
    return true;
}

// A subkey that cannot be made is not reported: the administrator was
// never told of it.
bool WriteSourceEntry(HKEY eventLog)
{
    const fw::UniqueHkey source = CreateSubkeyFullAccess(eventLog, kEventLogSourceName);
    if (!source)
        return false;
    bool written = true;
    const std::string files(kEventMessageFiles, sizeof kEventMessageFiles);  // with its zero byte
    if (!WriteBytes(source.get(), kValueEventMessageFile, REG_EXPAND_SZ, files)) {
        fw::AppMessageBox("Could not set the REG_EXPAND_SZ value, maybe you could do it yourself...");
        written = false;
    }
    if (!WriteDword(source.get(), kValueTypesSupported, kEventTypesSupported)) {
        fw::AppMessageBox("Could not set the REG_DWORD value, maybe you could do it yourself...");
        written = false;
    }
    return written;
}

}  // namespace

bool RegisterEventLogSource()
{
    const fw::UniqueHkey eventLog = OpenKeyFullAccess(kEventLogSystemKey);
    if (!eventLog) {
        fw::AppMessageBox("Could not open EventLog key");
        return false;
    }
    const bool listed = AddToSources(eventLog.get());
    const bool entered = WriteSourceEntry(eventLog.get());
    return listed && entered;
}

}  // namespace qb480
