#include <windows.h>

#include <string>

#include "Install.h"
#include "MessageBox.h"
#include "ParamNames.h"
#include "Registry.h"
#include "SourcesList.h"

namespace qb480 {

namespace {

// Appends our name to the log's list of sources. A list that is absent or
// holds no more than its closing zeros is left alone.
void AddToSources(HKEY eventLog)
{
    BYTE probe[2];
    DWORD size = sizeof probe;
    if (RegQueryValueExA(eventLog, kValueSources, nullptr, nullptr, probe, &size) != ERROR_MORE_DATA)
        return;
    std::string data(size, '\0');
    DWORD read = size;
    if (RegQueryValueExA(eventLog, kValueSources, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &read) !=
        ERROR_SUCCESS)
        return;
    data.resize(read);
    const auto list = AppendSourceName(data, kEventLogSourceName);
    if (list && !WriteBytes(eventLog, kValueSources, REG_MULTI_SZ, *list))
        fw::AppMessageBox("Could not set the REG_MULTI_SZ value, maybe you could do it yourself...");
}

void WriteSourceEntry(HKEY eventLog)
{
    const fw::UniqueHkey source = CreateSubkeyFullAccess(eventLog, kEventLogSourceName);
    if (!source)
        return;
    const std::string files(kEventMessageFiles, sizeof kEventMessageFiles);  // with its zero byte
    if (!WriteBytes(source.get(), kValueEventMessageFile, REG_EXPAND_SZ, files))
        fw::AppMessageBox("Could not set the REG_EXPAND_SZ value, maybe you could do it yourself...");
    if (!WriteDword(source.get(), kValueTypesSupported, kEventTypesSupported))
        fw::AppMessageBox("Could not set the REG_DWORD value, maybe you could do it yourself...");
}

}  // namespace

void RegisterEventLogSource()
{
    const fw::UniqueHkey eventLog = OpenKeyFullAccess(kEventLogSystemKey);
    if (!eventLog) {
        fw::AppMessageBox("Could not open EventLog key");
        return;
    }
    AddToSources(eventLog.get());
    WriteSourceEntry(eventLog.get());
}

}  // namespace qb480
