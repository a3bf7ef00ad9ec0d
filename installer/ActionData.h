#pragma once
// How the packages' immediate action hands the board's installer properties
// to the deferred action that runs qb480cfg.exe as the installer's service.
// No value is ever pasted into a command line: each one is handed over as
// it stands, and the deferred action makes it exactly one argument of its
// switch. Portable, so the hand-over is unit-tested natively.
#include <optional>
#include <string>
#include <vector>

namespace qb480 {

// The installer properties and the switch of "qb480cfg install" each one becomes.
struct BoardProperty {
    const char* name;
    const char* option;
};
inline constexpr BoardProperty kBoardProperties[] = {
    {"QB480_MEMSEG", "/mem"},     {"QB480_PORT", "/port"},   {"QB480_IRQ", "/irq"},
    {"QB480_PREFIX", "/prefix"}, {"QB480_FIRST", "/first"}, {"QB480_SETTINGS", "/settings"},
    {"QB480_REASON", "/reason"},  // for the audit trail's records; sets nothing up alone
};

// The installer's properties that name the user the installation runs
// for: the configurator, started as SYSTEM, records them as the initiator.
inline constexpr char kUserSidProperty[] = "UserSID";
inline constexpr char kLogonUserProperty[] = "LogonUser";

struct GivenProperty {
    std::string name;
    std::string value;
};

// Why the property's value may not reach the configurator, or "": no
// setting holds a control character, and the hand-over separates its
// fields by one.
std::string ValueFault(const GivenProperty& property);

// What the deferred action starts: the program the package installed, the
// SHA-256 of the package's own copy of it (64 lower-case hexadecimal
// digits), the installation's own folder (RunFolder.h) it is copied into
// and started from, and its arguments, "install" and each property's
// switch and value.
struct ConfiguratorCall {
    std::string program;
    std::string sha256;
    std::string folder;
    std::vector<std::string> arguments;
    std::string initiatorSid;   // UserSID, when the installation had one
    std::string initiatorName;  // LogonUser
};

// The deferred action's CustomActionData: the program, the digest and the
// folder, then NAME=VALUE of each property given and of the initiator's
// two, each field ended by a control character. The values must be free of
// faults.
std::string ActionDataOf(const ConfiguratorCall& call, const std::vector<GivenProperty>& given);

// The call handed over; none when the data is no hand-over of ours (a field
// without its end, an empty path, a digest that is none, an unknown
// property, a value at fault).
std::optional<ConfiguratorCall> CallOf(const std::string& data);

// 64 lower-case hexadecimal digits.
bool IsSha256Text(const std::string& text);

}  // namespace qb480
