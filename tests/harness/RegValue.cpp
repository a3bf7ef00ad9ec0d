#include "RegValue.h"

#include "UniqueHandle.h"

#include <iomanip>

namespace harness {
namespace {

fw::UniqueHkey OpenKey(HKEY root, const std::string& key, REGSAM access)
{
    fw::UniqueHkey opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, access, opened.put()) != ERROR_SUCCESS)
        opened.reset();
    return opened;
}

bool Refused(LONG error, const std::string& what, const CallSite& where)
{
    if (error == ERROR_SUCCESS)
        return false;
    Fail(where, "set-up: " + what + " failed with " + std::to_string(error));
    return true;
}

}  // namespace

void PrintTo(const RegValue& value, std::ostream* out)
{
    *out << "type " << value.type << ", " << value.data.size() << " bytes \"";
    for (unsigned char c : value.data) {
        if (c >= 0x20 && c < 0x7F && c != '\\')
            *out << c;
        else
            *out << "\\x" << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(c) << std::dec;
    }
    *out << "\"";
}

std::string BytesOf(std::uint64_t value, std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

RegValue Dword(std::uint32_t value)
{
    return {REG_DWORD, BytesOf(value)};
}

RegValue Sz(const std::string& text)
{
    return {REG_SZ, text + '\0'};
}

RegValue MultiSz(const std::string& bytes)
{
    return {REG_MULTI_SZ, bytes};
}

std::optional<RegValue> ReadValue(const std::string& key, const std::string& name, HKEY root)
{
    const fw::UniqueHkey opened = OpenKey(root, key, KEY_QUERY_VALUE);
    RegValue value;
    DWORD size = 0;
    if (!opened || RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::uint64_t> LastWriteTime(const std::string& key)
{
    const fw::UniqueHkey opened = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE);
    FILETIME written{};
    if (!opened || RegQueryInfoKeyA(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
        return std::nullopt;
    return (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
}

std::map<std::string, RegValue> ReadValues(const std::string& key)
{
    std::map<std::string, RegValue> values;
    const fw::UniqueHkey opened = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_READ);
    DWORD longestName = 0, longestData = 0;
    if (!opened || RegQueryInfoKeyA(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        std::string name(longestName + 1, '\0');
        DWORD nameLength = static_cast<DWORD>(name.size());
        RegValue value;
        value.data.resize(longestData);
        DWORD size = longestData;
        if (RegEnumValueA(opened.get(), index, name.data(), &nameLength, nullptr, &value.type,
                          reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS)
            break;
        value.data.resize(size);
        values[name.substr(0, nameLength)] = value;
    }
    return values;
}

std::vector<std::string> ValueNames(const std::string& key)
{
    std::vector<std::string> names;
    for (const auto& entry : ReadValues(key))
        names.push_back(entry.first);
    return names;
}

std::optional<DWORD> ReadDword(const std::string& key, const std::string& name)
{
    const auto value = ReadValue(key, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    return static_cast<DWORD>(static_cast<unsigned char>(value->data[0]) |
                              static_cast<unsigned char>(value->data[1]) << 8 |
                              static_cast<unsigned char>(value->data[2]) << 16 |
                              static_cast<DWORD>(static_cast<unsigned char>(value->data[3])) << 24);
}

std::optional<std::string> ReadString(const std::string& key, const std::string& name)
{
    const auto value = ReadValue(key, name);
    if (!value || value->type != REG_SZ)
        return std::nullopt;
    return std::string(value->data.c_str());
}

bool KeyExists(const std::string& key, HKEY root)
{
    return static_cast<bool>(OpenKey(root, key, KEY_QUERY_VALUE));
}

bool WriteValue(const std::string& key, const std::string& name, const RegValue& value, CallSite where)
{
    fw::UniqueHkey created;
    if (Refused(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                created.put(), nullptr),
                "creating " + key, where))
        return false;
    return !Refused(RegSetValueExA(created.get(), name.c_str(), 0, value.type,
                                   reinterpret_cast<const BYTE*>(value.data.data()),
                                   static_cast<DWORD>(value.data.size())),
                    "writing " + key + "\\" + name, where);
}

bool DeleteValue(const std::string& key, const std::string& name, CallSite where)
{
    const LONG error = RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
    return error == ERROR_FILE_NOT_FOUND || !Refused(error, "deleting " + key + "\\" + name, where);
}

bool DeleteKeyTree(const std::string& key, CallSite where)
{
    const LONG error = RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    return error == ERROR_FILE_NOT_FOUND || !Refused(error, "deleting " + key, where);
}

}  // namespace harness
