#pragma once
// The five ways the deliverables reach HKEY_LOCAL_MACHINE, and the value
// readers and writers they share. Each open returns an owner that closes the
// key when the step ends; a failed open gives an empty owner, and reads and
// writes through it fail (as the callers expect: they fall back to defaults).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "UniqueHandle.h"

namespace qb480 {

// Access masks, spelled out: the system's behaviour is defined by them.
inline constexpr REGSAM kAccessCreateAndRead = 0x2001F;  // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
inline constexpr REGSAM kAccessRead = KEY_READ;           // 0x20019
inline constexpr REGSAM kAccessQuery = KEY_QUERY_VALUE;   // 1
inline constexpr REGSAM kAccessWrite = KEY_WRITE;         // 0x20006
inline constexpr REGSAM kAccessAll = KEY_ALL_ACCESS;      // 0xF003F

// create-and-read: the key is created when missing.
fw::UniqueHkey CreateKeyForReadWrite(const char* path);
// create-for-reading: KEY_READ, created when missing.
fw::UniqueHkey CreateKeyForReading(const char* path);
// open-and-read: KEY_QUERY_VALUE, never created.
fw::UniqueHkey OpenKeyForQuery(const char* path);
// create-and-write: KEY_WRITE, created when missing.
fw::UniqueHkey CreateKeyForWriting(const char* path);
// full access: an existing key opened, or a subkey created, with KEY_ALL_ACCESS.
fw::UniqueHkey OpenKeyFullAccess(const char* path);
fw::UniqueHkey CreateSubkeyFullAccess(HKEY parent, const char* name);

// A 32-bit value read into 4 bytes, whatever its type; absent when the key or
// value is missing or the data is longer than 4 bytes.
std::optional<std::uint32_t> ReadDword(HKEY key, const char* name);

// A text read into a buffer of bufferSize bytes, whatever its type, taken up
// to its first zero byte; absent when missing or longer than the buffer.
std::optional<std::string> ReadText(HKEY key, const char* name, std::size_t bufferSize);

// A text of any length up to limit bytes, read whole: its size is asked
// first, and the read is repeated while the value grows in between. text is
// absent when the value is missing or cannot be read; tooLong tells a value
// of more than limit bytes, which is not read at all.
struct WholeText {
    std::optional<std::string> text;
    bool tooLong = false;
};
WholeText ReadWholeText(HKEY key, const char* name, std::size_t limit);

// REG_DWORD of 4 bytes; false on failure.
bool WriteDword(HKEY key, const char* name, std::uint32_t value);
// REG_SZ with its terminating zero counted; false on failure.
bool WriteText(HKEY key, const char* name, const std::string& text);
// REG_MULTI_SZ or REG_EXPAND_SZ given as exact bytes.
bool WriteBytes(HKEY key, const char* name, DWORD type, const std::string& bytes);
bool DeleteValue(HKEY key, const char* name);

}  // namespace qb480
