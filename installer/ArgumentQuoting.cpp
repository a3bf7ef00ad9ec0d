#include "ArgumentQuoting.h"

namespace qb480 {

std::string QuotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
        } else {
            // 2n+1 backslashes before a quote give n and the quote itself.
            if (c == '"')
                quoted.append(backslashes + 1, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    // The closing quote must not be escaped by the backslashes before it.
    quoted.append(backslashes, '\\');
    return quoted + '"';
}

std::string CommandLineOf(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : arguments)
        line += " " + QuotedArgument(argument);
    return line;
}

}  // namespace qb480
