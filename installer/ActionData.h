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
};

struct GivenProperty {
    std::string name;
    std::string value;
};

// Why the property's value may not reach the configurator, or "": no
// setting holds a control character, and the hand-over separates its
// fields by one.
std::string ValueFault(const GivenProperty& property);

// The deferred action's CustomActionData: the configurator's path, then
// NAME=VALUE of each property given, each field ended by a control
// character. The values must be free of faults.
std::string ActionDataOf(const std::string& program, const std::vector<GivenProperty>& given);

// What the deferred action starts: the program and its arguments, "install"
// and each property's switch and value. None when the data is no hand-over
// of ours (a field without its end, an unknown property, a value at fault).
struct ConfiguratorCall {
    std::string program;
    std::vector<std::string> arguments;
};
std::optional<ConfiguratorCall> CallOf(const std::string& data);

}  // namespace qb480
