#pragma once
// The configurator's command line:
//   qb480cfg.exe show | check FILE | install [SETTINGS] [/settings FILE]
//              | set SETTINGS | export FILE | import FILE | remove | /?
//   SETTINGS: [/mem SEG] [/port PORT] [/irq IRQ] [/prefix TEXT] [/first N | /first none]
//   every command also takes [/log FILE]; install, set and import take
//   /whatif; show, check, install, set and import take /json; install,
//   set, import and remove take /reason TEXT
// Portable, so that the rules are unit-tested natively. The values are
// taken as typed: the board's rules judge them before anything is written.
#include <optional>
#include <string>
#include <vector>

namespace qb480 {

enum class CfgCommand { None, Help, Show, Check, Install, Set, Export, Import, Remove };

// The SETTINGS switches, as typed.
struct CfgSettingTexts {
    std::optional<std::string> memory;
    std::optional<std::string> port;
    std::optional<std::string> irq;
    std::optional<std::string> prefix;
    std::optional<std::string> first;  // a number or "none"

    bool Any() const { return memory || port || irq || prefix || first; }
};

struct CfgArguments {
    CfgCommand command = CfgCommand::None;
    std::optional<std::string> file;          // check, export and import
    std::optional<std::string> settingsFile;  // install's /settings
    std::optional<std::string> logFile;
    std::optional<std::string> reason;  // for the audit trail's records
    CfgSettingTexts settings;
    bool whatIf = false;  // say what would change, change nothing
    bool json = false;    // standard output is one JSON object
    std::string error;  // why the line is refused; empty when it is not
};

// arguments: the split command line after the program's name. Commands and
// switches are matched without regard to case; switches begin with '/' or
// '-'; a value is the next argument, whatever it holds, but not empty.
CfgArguments ParseCfgArguments(const std::vector<std::string>& arguments);

// The command's word as the command line gives it ("set"); empty for none.
const char* CfgCommandName(CfgCommand command);

// What /? prints.
extern const char kCfgUsage[];

}  // namespace qb480
