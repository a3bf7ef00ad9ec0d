#include "LoaderArguments.h"

namespace qb480 {

const char kLoaderUsage[] =
    "qb480load.exe\n"
    "    asks, then loads the HEX file picked in the Open dialog.\n"
    "qb480load.exe [/quiet] [/log FILE] [/mem SEGMENT /port PORT] HEXFILE\n"
    "    loads HEXFILE.\n\n"
    "/quiet\tno window: the outcome is the exit code (and the log)\n"
    "/log FILE\tappends every step and message to FILE\n"
    "/mem, /port\tthe board's memory segment and port address (hexadecimal),\n"
    "\tused only when the board driver is not installed\n\n"
    "Exit codes: 0 loaded, 1 command line or log, 2 HEX file, 3 driver active,\n"
    "4 board parameters, 5 service registration, 6 download failed,\n"
    "7 program folder, 8 no administrator, 9 loaded but a step failed,\n"
    "1618 another firmware load is running.";

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsSwitch(const std::string& argument)
{
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

// The switch's slot for its value; null for a switch without one.
std::optional<std::string>* ValueSlot(LoaderArguments& parsed, const std::string& name)
{
    if (name == "log")
        return &parsed.logFile;
    if (name == "mem")
        return &parsed.memorySegment;
    if (name == "port")
        return &parsed.portAddress;
    return nullptr;
}

// The error is set when the switch is unknown.
void TakeFlag(LoaderArguments& parsed, const std::string& argument, const std::string& name)
{
    if (name == "?")
        parsed.help = true;
    else if (name == "quiet" || name == "q")
        parsed.quiet = true;
    else
        parsed.error = "Unknown switch: " + argument + ".";
}

}  // namespace

LoaderArguments ParseLoaderArguments(const std::vector<std::string>& arguments)
{
    LoaderArguments parsed;
    parsed.given = !arguments.empty();
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (!IsSwitch(argument)) {
            if (parsed.hexFile)
                parsed.error = "More than one HEX file: " + *parsed.hexFile + ", " + argument + ".";
            parsed.hexFile = argument;
            continue;
        }
        const std::string name = Lower(argument.substr(1));
        std::optional<std::string>* const slot = ValueSlot(parsed, name);
        if (!slot)
            TakeFlag(parsed, argument, name);
        else if (i + 1 >= arguments.size())
            parsed.error = "The switch " + argument + " needs a value.";
        else if (*slot)
            parsed.error = "The switch " + argument + " is given twice.";
        else
            *slot = arguments[++i];
    }
    if (parsed.error.empty() && parsed.quiet && !parsed.hexFile && !parsed.help)
        parsed.error = "/quiet needs a HEX file.";
    if (!parsed.error.empty())
        parsed.error += " qb480load.exe /? shows the usage.";
    return parsed;
}

}  // namespace qb480
