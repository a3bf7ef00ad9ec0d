#include "BoardSnapshot.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "EntryText.h"
#include "UniqueHandle.h"
#include "WideString.h"
#include "windows/ParamNames.h"

namespace qb480 {

namespace {

// A key the configuration may write. The values of a key that is the
// board's alone are recorded whole, so that one the configuration added
// goes again; those of a shared key by name. A key that was not there
// before is deleted again when the configuration may have created it.
struct KnownKey {
    char id;
    const char* path;
    const char* subkey;  // below path; null: none
    bool boardsAlone;
    bool mayBeCreated;
    const char* names[5];  // of a shared key; the rest null
};

constexpr KnownKey kKnownKeys[] = {
    {'M', kSpecialModesKey, nullptr, true, true, {}},
    {'P', kDriverParamKey, nullptr, false, true, {kValueMemSeg, kValuePort, kValueIrq, kValuePortNamePrefix, kValueFirstPort}},
    {'E', kEventLogSystemKey, kEventLogSourceName, true, true, {}},
    {'L', kEventLogSystemKey, nullptr, false, false, {kValueSources}},
};

std::string PathOf(const KnownKey& known)
{
    return known.subkey ? std::string(known.path) + "\\" + known.subkey : std::string(known.path);
}

constexpr DWORD kLongestValueName = 16383;

WideString Wide(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

std::string NameBytes(const WideString& name)
{
    return std::string(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
}

WideString NameOf(const std::string& bytes)
{
    WideString name(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&name[0], bytes.data(), name.size() * sizeof(wchar_t));
    return name;
}

std::string Shown(const WideString& name)
{
    std::string text(name.size() * 2 + 1, '\0');
    const int size = WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &text[0],
                                         static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return text;
}

std::string Failed(const std::string& what, LONG error)
{
    return what + ": error " + fw::DecimalText(static_cast<std::uint32_t>(error));
}

// The value, or none when it is absent; an error when it cannot be read.
LONG ReadValue(HKEY key, const WideString& name, std::optional<RecordedValue>& value)
{
    value.reset();
    for (;;) {
        DWORD type = 0, size = 0;
        LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            return result;
        std::string data(size, '\0');
        result = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        // Grown in between: asked again.
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return result;
        data.resize(size);
        value = RecordedValue{NameBytes(name), type, data};
        return ERROR_SUCCESS;
    }
}

LONG ValueNames(HKEY key, std::vector<WideString>& names)
{
    WideString name(kLongestValueName + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result = RegEnumValueW(key, index, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            return result;
        names.push_back(name.substr(0, length));
    }
}

// The names a key's restore looks at: all it holds now, or the shared ones.
LONG NamesToRestore(const KnownKey& known, HKEY key, std::vector<WideString>& names)
{
    if (known.boardsAlone)
        return ValueNames(key, names);
    for (const char* name : known.names)
        if (name)
            names.push_back(Wide(name));
    return ERROR_SUCCESS;
}

LONG ReadKey(const KnownKey& known, RecordedKey& recorded)
{
    recorded = RecordedKey{known.id, false, {}};
    fw::UniqueHkey key;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(PathOf(known)).c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    recorded.existed = true;
    std::vector<WideString> names;
    result = NamesToRestore(known, key.get(), names);
    for (std::size_t i = 0; result == ERROR_SUCCESS && i < names.size(); ++i) {
        std::optional<RecordedValue> value;
        result = ReadValue(key.get(), names[i], value);
        if (value)
            recorded.values.push_back(*value);
    }
    return result;
}

// The key and every key below it. Written here because RegDeleteTree came
// with Vista and the shell's SHDeleteKey is no system DLL of every Windows
// the packages install on.
LONG DeleteKeyTree(HKEY parent, const WideString& path)
{
    fw::UniqueHkey key;
    LONG result = RegOpenKeyExW(parent, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | DELETE, key.put());
    if (result != ERROR_SUCCESS)
        return result;
    WideString name(256, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        // Always the first: the one before it is gone.
        result = RegEnumKeyExW(key.get(), 0, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS)
            result = DeleteKeyTree(key.get(), name.substr(0, length));
        if (result != ERROR_SUCCESS)
            return result;
    }
    return RegDeleteKeyW(parent, path.c_str());
}

bool IsRecorded(const RecordedKey& recorded, const WideString& name)
{
    for (const RecordedValue& value : recorded.values)
        if (value.name == NameBytes(name))
            return true;
    return false;
}

void PutValuesBack(HKEY key, const KnownKey& known, const RecordedKey& recorded, std::vector<std::string>& faults)
{
    const std::string where = "HKLM\\" + PathOf(known);
    std::vector<WideString> names;
    if (const LONG result = NamesToRestore(known, key, names))
        faults.push_back(Failed(where + " cannot be listed", result));
    for (const WideString& name : names) {
        const LONG result = IsRecorded(recorded, name) ? ERROR_SUCCESS : RegDeleteValueW(key, name.c_str());
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            faults.push_back(Failed(where + " " + Shown(name) + " cannot be deleted", result));
    }
    for (const RecordedValue& value : recorded.values) {
        const LONG result = RegSetValueExW(key, NameOf(value.name).c_str(), 0, value.type,
                                           reinterpret_cast<const BYTE*>(value.data.data()),
                                           static_cast<DWORD>(value.data.size()));
        if (result != ERROR_SUCCESS)
            faults.push_back(Failed(where + " " + Shown(NameOf(value.name)) + " cannot be written back", result));
    }
}

void RestoreKey(const KnownKey& known, const RecordedKey& recorded, std::vector<std::string>& faults)
{
    const WideString path = Wide(PathOf(known));
    if (!recorded.existed && known.mayBeCreated) {
        const LONG result = DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            faults.push_back(Failed("HKLM\\" + PathOf(known) + " cannot be deleted", result));
        return;
    }
    fw::UniqueHkey key;
    const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    const LONG result = recorded.existed ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access,
                                                           nullptr, key.put(), nullptr)
                                         : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.put());
    if (result == ERROR_SUCCESS)
        PutValuesBack(key.get(), known, recorded, faults);
    else if (recorded.existed || result != ERROR_FILE_NOT_FOUND)
        faults.push_back(Failed("HKLM\\" + PathOf(known) + " cannot be opened", result));
}

const KnownKey* KnownKeyOf(char id)
{
    for (const KnownKey& known : kKnownKeys)
        if (known.id == id)
            return &known;
    return nullptr;
}

// Registered by this installation: the configuration never starts it, and
// a deletion is carried out once it has stopped.
void DeleteDriverService(std::vector<std::string>& faults)
{
    const fw::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return faults.push_back(Failed("the Service Control Manager cannot be opened", static_cast<LONG>(GetLastError())));
    const fw::UniqueScHandle service(OpenServiceW(manager.get(), Wide(kDriverServiceName).c_str(), SERVICE_STOP | DELETE));
    if (!service) {
        if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST)
            faults.push_back(Failed("the service VDXQB480 cannot be opened", static_cast<LONG>(GetLastError())));
        return;
    }
    SERVICE_STATUS status;
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        faults.push_back(Failed("the service VDXQB480 cannot be deleted", static_cast<LONG>(GetLastError())));
}

// Registered or not; none when the Service Control Manager does not say.
std::optional<bool> ServiceRegistered(DWORD& error)
{
    const fw::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        error = GetLastError();
        return std::nullopt;
    }
    const fw::UniqueScHandle service(OpenServiceW(manager.get(), Wide(kDriverServiceName).c_str(), SERVICE_QUERY_STATUS));
    error = service ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST)
        return false;
    if (error == ERROR_SUCCESS || error == ERROR_ACCESS_DENIED)
        return true;
    return std::nullopt;
}

}  // namespace

std::optional<BoardRecord> ReadBoardRecord(std::string& fault)
{
    BoardRecord record;
    DWORD error = ERROR_SUCCESS;
    const std::optional<bool> registered = ServiceRegistered(error);
    if (!registered) {
        fault = Failed("the service VDXQB480 cannot be looked up", static_cast<LONG>(error));
        return std::nullopt;
    }
    record.serviceExisted = *registered;
    for (const KnownKey& known : kKnownKeys) {
        RecordedKey key;
        if (const LONG result = ReadKey(known, key)) {
            fault = Failed("HKLM\\" + PathOf(known) + " cannot be read", result);
            return std::nullopt;
        }
        record.keys.push_back(key);
    }
    return record;
}

std::vector<std::string> RestoreBoardRecord(const BoardRecord& record)
{
    std::vector<std::string> faults;
    if (!record.serviceExisted)
        DeleteDriverService(faults);
    for (const RecordedKey& key : record.keys) {
        if (const KnownKey* known = KnownKeyOf(key.id))
            RestoreKey(*known, key, faults);
        else
            faults.push_back(std::string("the record names a key this action does not know: ") + key.id);
    }
    return faults;
}

}  // namespace qb480
