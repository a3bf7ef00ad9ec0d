#pragma once
// The events the board's set-up writes to the Application log under its own
// source, one per change, refusal or failure. Collectors and auditors rely
// on every ID, type, category and the order of the insertion strings: they
// are fixed for good, and a later release only adds strings at the end.
// The message file (messages/qb480msg.mc) holds the same IDs; its test
// checks the two against each other.
#include <cstddef>
#include <cstdint>

namespace qb480::audit {

inline constexpr char kSourceName[] = "Tessaline QB480";
inline constexpr char kMessageFileName[] = "qb480msg.dll";

// The event types of ReportEventW.
enum class Type : std::uint16_t { Error = 0x0001, Warning = 0x0002, Information = 0x0004 };

enum class Category : std::uint16_t { Settings = 1, Firmware = 2, Driver = 3 };
inline constexpr std::uint32_t kCategoryCount = 3;

// The full message ID: severity in the top two bits (1 information,
// 2 warning, 3 error), facility 0x480, and the code that Event Viewer shows.
struct Event {
    std::uint32_t id;
    Type type;
    Category category;
    const char* name;  // as the guide lists it
};
constexpr std::uint32_t MessageId(Type type, std::uint16_t code)
{
    const std::uint32_t severity = type == Type::Error ? 3u : type == Type::Warning ? 2u : 1u;
    return severity << 30 | 0x480u << 16 | code;
}

inline constexpr Event kSettingChanged{MessageId(Type::Information, 1001), Type::Information, Category::Settings,
                                       "setting changed"};
inline constexpr Event kSettingRefused{MessageId(Type::Warning, 1002), Type::Warning, Category::Settings,
                                       "setting change refused"};
inline constexpr Event kSettingFailed{MessageId(Type::Error, 1003), Type::Error, Category::Settings,
                                      "setting change failed"};
inline constexpr Event kFirmwareLoaded{MessageId(Type::Information, 2001), Type::Information, Category::Firmware,
                                       "firmware loaded"};
inline constexpr Event kFirmwareRefused{MessageId(Type::Warning, 2002), Type::Warning, Category::Firmware,
                                        "firmware load refused"};
inline constexpr Event kFirmwareFailed{MessageId(Type::Error, 2003), Type::Error, Category::Firmware,
                                       "firmware load failed"};
inline constexpr Event kDriverRegistered{MessageId(Type::Information, 3001), Type::Information, Category::Driver,
                                         "driver registered"};
inline constexpr Event kDriverRemoved{MessageId(Type::Information, 3002), Type::Information, Category::Driver,
                                      "driver removed"};
inline constexpr Event kDriverRefused{MessageId(Type::Warning, 3003), Type::Warning, Category::Driver,
                                      "driver change refused"};
inline constexpr Event kDriverFailed{MessageId(Type::Error, 3004), Type::Error, Category::Driver,
                                     "driver change failed"};

inline constexpr Event kEvents[] = {kSettingChanged,  kSettingRefused,   kSettingFailed,  kFirmwareLoaded,
                                    kFirmwareRefused, kFirmwareFailed,   kDriverRegistered, kDriverRemoved,
                                    kDriverRefused,   kDriverFailed};

// Every event carries these insertion strings, in this order (%1 to %15).
// The first three name the subject and its two values; what they hold
// depends on the category:
//   settings  the setting, its old value, its new value
//   firmware  the HEX file, the image file, the image's size in bytes
//   driver    the service, its old state, its new state
enum class Field : std::size_t {
    Subject,
    Old,
    New,
    Outcome,
    AccountSid,
    AccountName,
    InitiatorSid,
    InitiatorName,
    Means,
    Sha256,
    Program,
    Version,
    ProcessId,
    Reason,
    Json,
    Count
};
inline constexpr std::size_t kStringCount = static_cast<std::size_t>(Field::Count);

}  // namespace qb480::audit
