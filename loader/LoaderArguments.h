#pragma once
// The loader's command line, for firmware rollout from scripts:
//   qb480load.exe                                    the dialogs, as always
//   qb480load.exe [/quiet] [/log FILE] [/mem SEGMENT /port PORT] HEXFILE
//   qb480load.exe /?
// Portable, so that the rules are unit-tested natively.
#include <optional>
#include <string>
#include <vector>

namespace qb480 {

struct LoaderArguments {
    bool given = false;  // anything at all after the program's name
    bool help = false;
    bool quiet = false;
    std::optional<std::string> logFile;
    std::optional<std::string> memorySegment;  // as typed: the board rules judge it
    std::optional<std::string> portAddress;
    std::optional<std::string> hexFile;
    std::string error;  // why the line is refused; empty when it is not
};

// arguments: the split command line after the program's name. Switches
// begin with '/' or '-' and are matched without regard to case; /q is
// /quiet; a value is the next argument, whatever it holds.
LoaderArguments ParseLoaderArguments(const std::vector<std::string>& arguments);

// What /? shows.
extern const char kLoaderUsage[];

}  // namespace qb480
