#pragma once
// Registry values as the tests set and check them: a value is its type and
// its bytes, read and written as they are stored. Keys are under
// HKEY_LOCAL_MACHINE unless a root is given.
#include "CallSite.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace harness {

struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    bool operator!=(const RegValue& other) const { return !(*this == other); }
};
void PrintTo(const RegValue& value, std::ostream* out);

// The little-endian bytes of a number as the registry stores it.
std::string BytesOf(std::uint64_t value, std::size_t size = 4);
RegValue Dword(std::uint32_t value);
// REG_SZ with its terminating zero byte, as the deliverables write text.
RegValue Sz(const std::string& text);
RegValue MultiSz(const std::string& bytes);

std::optional<RegValue> ReadValue(const std::string& key, const std::string& name, HKEY root = HKEY_LOCAL_MACHINE);
// Every value of the key by name; empty when the key is missing.
std::map<std::string, RegValue> ReadValues(const std::string& key);
// The key's value names, sorted; empty when the key is missing.
std::vector<std::string> ValueNames(const std::string& key);
// A REG_DWORD of four bytes, or a REG_SZ up to its zero; nothing when the
// value is missing or of another type.
std::optional<DWORD> ReadDword(const std::string& key, const std::string& name);
std::optional<std::string> ReadString(const std::string& key, const std::string& name);
bool KeyExists(const std::string& key, HKEY root = HKEY_LOCAL_MACHINE);
// The key's last-write time (100 ns units); absent when it cannot be read.
std::optional<std::uint64_t> LastWriteTime(const std::string& key);

// Set-up steps. Each creates the key when missing, reports a refusal at the
// caller's line and returns false then.
bool WriteValue(const std::string& key, const std::string& name, const RegValue& value, CallSite where = {});
// A value or key that is already missing counts as deleted.
bool DeleteValue(const std::string& key, const std::string& name, CallSite where = {});
bool DeleteKeyTree(const std::string& key, CallSite where = {});

}  // namespace harness
