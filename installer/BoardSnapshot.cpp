#include "BoardSnapshot.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "EntryText.h"
#include "UniqueHandle.h"
#include "WideString.h"
#include "windows/ComDatabase.h"
#include "windows/ParamNames.h"

namespace qb480 {

namespace {

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

// The set-up's record of its claims, as ComClaims.h keeps it.
ComNumbers ReadClaimedNumbers()
{
    fw::UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kDriverParamKey).c_str(), 0, KEY_QUERY_VALUE, key.put()))
        return {};
    std::optional<RecordedValue> value;
    if (ReadValue(key.get(), Wide(kValueClaimedComNumbers), value) || !value || value->type != REG_SZ)
        return {};
    return ParseRecord(Shown(NameOf(value->data)).c_str());
}

// None where the machine has no database, or it cannot be read.
std::optional<RecordedComDatabase> ReadComDatabase()
{
    const CComDatabase database;
    auto usage = database.Usage();
    if (!usage)
        return std::nullopt;
    return RecordedComDatabase{std::move(*usage), ReadClaimedNumbers()};
}

bool WriteClaimedNumbers(const ComNumbers& numbers)
{
    fw::UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kDriverParamKey).c_str(), 0, KEY_SET_VALUE, key.put()))
        return numbers.empty();
    if (numbers.empty()) {
        const LONG result = RegDeleteValueW(key.get(), Wide(kValueClaimedComNumbers).c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    const WideString text = Wide(RecordText(numbers));
    return RegSetValueExW(key.get(), Wide(kValueClaimedComNumbers).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void CarryOutKey(const KeyRollback& rollback, std::vector<std::string>& faults)
{
    const KnownKey& known = *KnownKeyOf(rollback.id);
    const WideString path = Wide(PathOf(known));
    const std::string where = "HKLM\\" + PathOf(known);
    fw::UniqueHkey key;
    const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    LONG result = rollback.set.empty()
                      ? RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.put())
                      : RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access, nullptr, key.put(), nullptr);
    if (result == ERROR_FILE_NOT_FOUND)
        return;  // gone with the service, or never made
    if (result != ERROR_SUCCESS)
        return faults.push_back(Failed(where + " cannot be opened", result));
    for (const std::string& name : rollback.remove) {
        result = RegDeleteValueW(key.get(), NameOf(name).c_str());
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            faults.push_back(Failed(where + " " + Shown(NameOf(name)) + " cannot be deleted", result));
    }
    for (const RecordedValue& value : rollback.set) {
        result = RegSetValueExW(key.get(), NameOf(value.name).c_str(), 0, value.type,
                                reinterpret_cast<const BYTE*>(value.data.data()), static_cast<DWORD>(value.data.size()));
        if (result != ERROR_SUCCESS)
            faults.push_back(Failed(where + " " + Shown(NameOf(value.name)) + " cannot be written back", result));
    }
    DWORD values = 0, subkeys = 0;
    if (!rollback.deleteWhenEmpty ||
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        values || subkeys)
        return;
    key.reset();
    result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        faults.push_back(Failed(where + " cannot be deleted", result));
}

// The numbers this installation claimed are given back, and those it gave
// back claimed again; a number another device claimed meanwhile stays its.
void CarryOutComNumbers(const RollbackPlan& plan, const BoardRecord& now, std::vector<std::string>& faults)
{
    if (plan.release.empty() && plan.reclaim.empty())
        return;
    const CComDatabase database;
    if (!database.IsOpen() || !now.com)
        return faults.push_back("the COM port database cannot be opened: its claims are left as they are");
    ComNumbers record = now.com->claimed;
    for (std::uint32_t number : plan.release) {
        const LONG result = database.Release(number);
        if (result == ERROR_SUCCESS || result == ERROR_INVALID_PARAMETER)
            record.erase(number);
        else
            faults.push_back(Failed("COM" + fw::DecimalText(number) + " cannot be given back", result));
    }
    for (std::uint32_t number : plan.reclaim) {
        const LONG result = database.Claim(number);
        if (result == ERROR_SUCCESS)
            record.insert(number);
        else if (result == ERROR_SHARING_VIOLATION)
            faults.push_back("COM" + fw::DecimalText(number) + " was claimed by another device meanwhile: it stays that device's");
        else
            faults.push_back(Failed("COM" + fw::DecimalText(number) + " cannot be claimed again", result));
    }
    if (record != now.com->claimed && !WriteClaimedNumbers(record))
        faults.push_back("the record of the board's COM numbers cannot be written back");
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
    record.com = ReadComDatabase();
    return record;
}

std::vector<std::string> CarryOut(const RollbackPlan& plan, const BoardRecord& now)
{
    std::vector<std::string> faults;
    if (plan.deleteService)
        DeleteDriverService(faults);
    for (const KeyRollback& key : plan.keys)
        CarryOutKey(key, faults);
    CarryOutComNumbers(plan, now, faults);
    return faults;
}

}  // namespace qb480
