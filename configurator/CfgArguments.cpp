#include "CfgArguments.h"

#include "settingsfile/SettingsValues.h"

namespace qb480 {

const char kCfgUsage[] =
    "qb480cfg.exe show [/json]\n"
    "qb480cfg.exe check FILE [/json]\n"
    "qb480cfg.exe install [SETTINGS] [/settings FILE] [/whatif] [/json] [/reason TEXT]\n"
    "qb480cfg.exe set SETTINGS [/whatif] [/json] [/reason TEXT]\n"
    "qb480cfg.exe export FILE\n"
    "qb480cfg.exe import FILE [/whatif] [/json] [/reason TEXT]\n"
    "qb480cfg.exe remove [/reason TEXT]\n"
    "qb480cfg.exe /?\n\n"
    "SETTINGS: [/mem SEG] [/port PORT] [/irq IRQ] [/prefix TEXT] [/first N | /first none]\n"
    "every command also takes [/log FILE]\n"
    "/settings FILE: a settings file that install applies as import does, the\n"
    "switches over it.\n"
    "check FILE: compares the machine with what import FILE would apply.\n"
    "/whatif: says what would change and changes nothing.\n"
    "/json: standard output is one JSON object (UTF-8); the log keeps the lines.\n"
    "/reason TEXT: why, written into each change's record in the Application\n"
    "event log (source \"Tessaline QB480\").\n\n"
    "Exit codes: 0 done, 1 command line or log, 2 settings file, 3 driver active,\n"
    "4 setting refused, 5 service registration, 6 driver file not found,\n"
    "8 no administrator, 9 done but a step failed, 10 the machine differs (check,\n"
    "/whatif), 1602 cancelled (Ctrl+C),\n"
    "1618 another configuration or firmware load is running, 3010 done: the\n"
    "driver takes it at its next start.";

namespace {

struct CommandName {
    const char* name;
    CfgCommand command;
};

constexpr CommandName kCommands[] = {
    {"show", CfgCommand::Show},     {"check", CfgCommand::Check},     {"install", CfgCommand::Install},
    {"set", CfgCommand::Set},
    {"export", CfgCommand::Export}, {"import", CfgCommand::Import},   {"remove", CfgCommand::Remove},
};

bool IsSwitch(const std::string& argument)
{
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

std::optional<std::string>* ValueSlot(CfgArguments& parsed, const std::string& name)
{
    CfgSettingTexts& s = parsed.settings;
    for (const auto& [switchName, slot] : {std::pair{"log", &parsed.logFile}, std::pair{"settings", &parsed.settingsFile},
                                           std::pair{"reason", &parsed.reason},
                                           std::pair{"mem", &s.memory},
                                           std::pair{"port", &s.port}, std::pair{"irq", &s.irq},
                                           std::pair{"prefix", &s.prefix}, std::pair{"first", &s.first}})
        if (settings::SameName(name, switchName))
            return slot;
    return nullptr;
}

bool TakesFileWord(CfgCommand command)
{
    return command == CfgCommand::Check || command == CfgCommand::Export || command == CfgCommand::Import;
}

bool Changes(CfgCommand command)
{
    return command == CfgCommand::Install || command == CfgCommand::Set || command == CfgCommand::Import;
}

// The switches that take no value.
bool* FlagSlot(CfgArguments& parsed, const std::string& name)
{
    if (settings::SameName(name, "whatif"))
        return &parsed.whatIf;
    if (settings::SameName(name, "json"))
        return &parsed.json;
    return nullptr;
}

void TakeWord(CfgArguments& parsed, const std::string& word)
{
    if (parsed.command == CfgCommand::None) {
        for (const CommandName& known : kCommands)
            if (settings::SameName(word, known.name))
                parsed.command = known.command;
        if (parsed.command == CfgCommand::None)
            parsed.error = "Unknown command: " + word + ".";
        return;
    }
    if (TakesFileWord(parsed.command) && !parsed.file)
        parsed.file = word;
    else
        parsed.error = "Unexpected argument: " + word + ".";
}

// What the command still lacks or takes that it must not.
void CheckCommand(CfgArguments& parsed)
{
    const bool takesSettings = parsed.command == CfgCommand::Install || parsed.command == CfgCommand::Set;
    const bool install = parsed.command == CfgCommand::Install;
    if (parsed.command == CfgCommand::None)
        parsed.error = "No command given.";
    else if (TakesFileWord(parsed.command) && !parsed.file)
        parsed.error = "The command needs a FILE.";
    else if (parsed.command == CfgCommand::Set && !parsed.settings.Any())
        parsed.error = "set needs at least one setting.";
    else if (!takesSettings && parsed.settings.Any())
        parsed.error = "Only install and set take settings.";
    else if (!install && parsed.settingsFile)
        parsed.error = "Only install takes /settings.";
    else if (parsed.reason && !Changes(parsed.command) && parsed.command != CfgCommand::Remove)
        parsed.error = "Only install, set, import and remove take /reason.";
    else if (parsed.whatIf && !Changes(parsed.command))
        parsed.error = "Only install, set and import take /whatif.";
    else if (parsed.json && !Changes(parsed.command) && parsed.command != CfgCommand::Show &&
             parsed.command != CfgCommand::Check)
        parsed.error = "Only show, check, install, set and import take /json.";
}

// A switch and its value; i moves past the value.
void TakeSwitch(CfgArguments& parsed, const std::vector<std::string>& arguments, std::size_t& i)
{
    const std::string& argument = arguments[i];
    if (bool* const flag = FlagSlot(parsed, argument.substr(1))) {
        if (*flag)
            parsed.error = "The switch " + argument + " is given twice.";
        *flag = true;
        return;
    }
    std::optional<std::string>* const slot = ValueSlot(parsed, argument.substr(1));
    if (!slot)
        parsed.error = "Unknown switch: " + argument + ".";
    else if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        parsed.error = "The switch " + argument + " needs a value.";
    else if (*slot)
        parsed.error = "The switch " + argument + " is given twice.";
    else
        *slot = arguments[++i];
}

}  // namespace

const char* CfgCommandName(CfgCommand command)
{
    for (const CommandName& known : kCommands)
        if (known.command == command)
            return known.name;
    return "";
}

CfgArguments ParseCfgArguments(const std::vector<std::string>& arguments)
{
    // The whole line is read after a fault too, so that a /? further on
    // still shows the usage.
    CfgArguments parsed;
    std::string error;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        parsed.error.clear();
        const std::string& argument = arguments[i];
        if (!IsSwitch(argument)) {
            if (error.empty())
                TakeWord(parsed, argument);
        } else if (argument == "/?" || argument == "-?") {
            parsed.command = CfgCommand::Help;
            return parsed;
        } else {
            TakeSwitch(parsed, arguments, i);
        }
        if (error.empty())
            error = parsed.error;
    }
    parsed.error = error;
    if (parsed.error.empty())
        CheckCommand(parsed);
    if (!parsed.error.empty())
        parsed.error += " qb480cfg.exe /? shows the usage.";
    return parsed;
}

}  // namespace qb480
