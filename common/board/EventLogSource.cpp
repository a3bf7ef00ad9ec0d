#include "board/EventLogSource.h"

#include <windows.h>

#include <string>

#include "AuditEvents.h"
#include "MessageBox.h"
#include "UniqueHandle.h"
#include "windows/MessageFile.h"
#include "windows/SystemFolder.h"
#include "windows/SystemText.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"
#include "windows/SourcesList.h"

namespace qb480 {

namespace {

// Appends the name to the log's list of sources. A list that is absent or
// holds no more than its closing zeros is left alone. False when the new
// list could not be stored.
bool AddToSources(HKEY eventLog, const char* name, const char* failure)
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
    const auto list = AppendSourceName(data, name);
    if (list && !WriteBytes(eventLog, kValueSources, REG_MULTI_SZ, *list)) {
        fw::AppMessageBox(failure);
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
    const bool listed = AddToSources(eventLog.get(), kEventLogSourceName,
                                     "Could not set the REG_MULTI_SZ value, maybe you could do it yourself...");
    const bool entered = WriteSourceEntry(eventLog.get());
    return listed && entered;
}

namespace {

constexpr char kAuditSourceFailure[] = "The event log source \"Tessaline QB480\" cannot be registered: ";

// The real system folder, also from 32-bit code on 64-bit Windows, which
// kAuditMessageFile names.
std::optional<std::string> MessageFilePath()
{
    const auto folder = SystemDirectory();
    return folder ? std::optional<std::string>(*folder + "\\" + audit::kMessageFileName) : std::nullopt;
}

bool FileIsThere(const std::string& path)
{
    const CRealFileSystemView realView;
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The program's own copy, made only where no file is: CREATE_NEW never
// writes through a name someone else put there.
bool PutMessageFile(const std::string& path)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&PutMessageFile), &module);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kMessageFileResource), MAKEINTRESOURCEA(10));
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || !size) {
        fw::AppMessageBox((std::string(kAuditSourceFailure) + "this program carries no message file.").c_str());
        return false;
    }
    const CRealFileSystemView realView;
    fw::UniqueFileHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && GetLastError() == ERROR_FILE_EXISTS)
        return true;  // put there meanwhile
    DWORD written = 0;
    const bool whole = file && WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
    const DWORD error = whole ? ERROR_SUCCESS : GetLastError();
    if (file && !whole) {
        file.reset();
        DeleteFileA(path.c_str());
    }
    if (!whole)
        fw::AppMessageBox((std::string(kAuditSourceFailure) + path + ": " + SystemErrorText(error) + ".").c_str());
    return whole;
}

bool WriteAuditEntry(HKEY application)
{
    const fw::UniqueHkey source = CreateSubkeyFullAccess(application, audit::kSourceName);
    const std::string file(kAuditMessageFile, sizeof kAuditMessageFile);  // with its zero byte
    const bool written = source && WriteBytes(source.get(), kValueEventMessageFile, REG_EXPAND_SZ, file) &&
                         WriteBytes(source.get(), kValueCategoryMessageFile, REG_EXPAND_SZ, file) &&
                         WriteDword(source.get(), kValueCategoryCount, audit::kCategoryCount) &&
                         WriteDword(source.get(), kValueTypesSupported, kEventTypesSupported);
    if (!written)
        fw::AppMessageBox((std::string(kAuditSourceFailure) + "its entry under HKLM\\" + kEventLogApplicationKey +
                           " cannot be written.")
                              .c_str());
    return written;
}

}  // namespace

bool RegisterAuditSource()
{
    const auto path = MessageFilePath();
    if (!path) {
        fw::AppMessageBox((std::string(kAuditSourceFailure) + "the system folder is unknown.").c_str());
        return false;
    }
    const bool file = FileIsThere(*path) || PutMessageFile(*path);
    const fw::UniqueHkey application = OpenKeyFullAccess(kEventLogApplicationKey);
    if (!application) {
        fw::AppMessageBox((std::string(kAuditSourceFailure) + "the Application log's key cannot be opened.").c_str());
        return false;
    }
    const bool listed = AddToSources(application.get(), audit::kSourceName,
                                     (std::string(kAuditSourceFailure) + "it cannot be added to the log's Sources.").c_str());
    return WriteAuditEntry(application.get()) && listed && file;
}

bool AuditSourceRegistered()
{
    const auto path = MessageFilePath();
    const fw::UniqueHkey source = OpenKeyForQuery((std::string(kEventLogApplicationKey) + "\\" + audit::kSourceName).c_str());
    return path && source && FileIsThere(*path) && ReadWholeText(source.get(), kValueEventMessageFile, 1024).text;
}

}  // namespace qb480
