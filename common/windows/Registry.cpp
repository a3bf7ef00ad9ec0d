#include "windows/Registry.h"

#include <vector>

namespace qb480 {

namespace {

fw::UniqueHkey CreateKey(HKEY parent, const char* path, REGSAM access)
{
    fw::UniqueHkey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                        &disposition) != ERROR_SUCCESS)
        key.reset();
    return key;
}

fw::UniqueHkey OpenKey(const char* path, REGSAM access)
{
    fw::UniqueHkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

}  // namespace

fw::UniqueHkey CreateKeyForReadWrite(const char* path) { return CreateKey(HKEY_LOCAL_MACHINE, path, kAccessCreateAndRead); }
fw::UniqueHkey CreateKeyForReading(const char* path) { return CreateKey(HKEY_LOCAL_MACHINE, path, kAccessRead); }
fw::UniqueHkey OpenKeyForQuery(const char* path) { return OpenKey(path, kAccessQuery); }
fw::UniqueHkey CreateKeyForWriting(const char* path) { return CreateKey(HKEY_LOCAL_MACHINE, path, kAccessWrite); }
fw::UniqueHkey OpenKeyFullAccess(const char* path) { return OpenKey(path, kAccessAll); }
fw::UniqueHkey CreateSubkeyFullAccess(HKEY parent, const char* name) { return CreateKey(parent, name, kAccessAll); }

std::optional<std::uint32_t> ReadDword(HKEY key, const char* name)
{
    BYTE data[4] = {};
    DWORD size = sizeof data;
    if (!key || RegQueryValueExA(key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Shorter data keeps the zeros it did not overwrite.
    return static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
}

std::optional<std::string> ReadText(HKEY key, const char* name, std::size_t bufferSize)
{
    std::vector<char> buffer(bufferSize + 1, '\0');  // the extra zero ends a text stored without one
    DWORD size = static_cast<DWORD>(bufferSize);
    if (!key || RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
                    ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer.data());
}

WholeText ReadWholeText(HKEY key, const char* name, std::size_t limit)
{
    // A value that another program keeps rewriting is given up on after a
    // few rounds rather than read for ever.
    constexpr int kRounds = 8;
    WholeText result;
    DWORD size = 0;
    LONG status = key ? RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) : ERROR_INVALID_HANDLE;
    for (int round = 0; round < kRounds && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA); ++round) {
        if (size > limit) {
            result.tooLong = true;
            return result;
        }
        std::vector<char> buffer(size + 1, '\0');  // the extra zero ends a text stored without one
        DWORD read = size;
        status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_SUCCESS) {
            result.text = std::string(buffer.data());
            return result;
        }
        size = read;  // after ERROR_MORE_DATA: the size the value has grown to
    }
    return result;
}

bool WriteDword(HKEY key, const char* name, std::uint32_t value)
{
    const DWORD data = value;
    return key && RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
                      ERROR_SUCCESS;
}

bool WriteText(HKEY key, const char* name, const std::string& text)
{
    return key && RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteBytes(HKEY key, const char* name, DWORD type, const std::string& bytes)
{
    return key && RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool DeleteValue(HKEY key, const char* name) { return key && RegDeleteValueA(key, name) == ERROR_SUCCESS; }

}  // namespace qb480
