#include "windows/SerialComm.h"

#include <windows.h>

#include "windows/Registry.h"

namespace qb480 {

namespace {

constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kMaxValueName = 16384;  // a value name's limit, its zero included
constexpr DWORD kMaxPortName = 256;

}  // namespace

std::vector<SerialCommEntry> ReadSerialComm()
{
    std::vector<SerialCommEntry> entries;
    const fw::UniqueHkey key = OpenKeyForQuery(kSerialCommKey);
    if (!key)
        return entries;
    std::string name(kMaxValueName, '\0');
    std::string data(kMaxPortName + 1, '\0');  // the extra zero ends data stored without one
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = kMaxValueName;
        DWORD dataSize = kMaxPortName;
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueA(key.get(), index, &name[0], &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(&data[0]), &dataSize);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        if (type == REG_SZ) {
            data[dataSize] = '\0';
            entries.push_back({name.substr(0, nameSize), data.c_str()});
        }
    }
    return entries;
}

}  // namespace qb480
