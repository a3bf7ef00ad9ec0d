#include "CommandLine.h"

namespace fw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string ProgramName(const std::string& line, std::size_t& at)
{
    std::string name;
    bool quoted = false;
    for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
        if (line[at] == '"')
            quoted = !quoted;
        else
            name += line[at];
    }
    return name;
}

// Backslashes from at on; at is left on the character after them.
void AppendBackslashes(const std::string& line, std::size_t& at, std::string& argument)
{
    std::size_t count = 0;
    for (; at < line.size() && line[at] == '\\'; ++at)
        ++count;
    if (at >= line.size() || line[at] != '"') {
        argument.append(count, '\\');
        return;
    }
    argument.append(count / 2, '\\');
    if (count % 2 == 1) {
        argument += '"';
        ++at;
    }
}

std::string NextArgument(const std::string& line, std::size_t& at)
{
    std::string argument;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        const char c = line[at];
        if (c == '\\') {
            AppendBackslashes(line, at, argument);
        } else if (c == '"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                argument += '"';
                ++at;
            }
            quoted = !quoted;
            ++at;
        } else {
            argument += c;
            ++at;
        }
    }
    return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::size_t at = 0;
    std::vector<std::string> arguments{ProgramName(line, at)};
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            return arguments;
        arguments.push_back(NextArgument(line, at));
    }
}

std::vector<std::string> ArgumentsOf(const std::string& line)
{
    std::vector<std::string> arguments = SplitCommandLine(line);
    arguments.erase(arguments.begin());  // the split always gives the name, empty or not
    return arguments;
}

}  // namespace fw
