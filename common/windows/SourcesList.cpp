#include "windows/SourcesList.h"

namespace qb480 {

std::optional<std::string> AppendSourceName(const std::string& data, const std::string& name)
{
    // Every listed text, the empty one before the closing zero included, and
    // a last name that lacks its zero byte.
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos)
            end = data.size();
        if (data.compare(start, end - start, name) == 0)
            return std::nullopt;
        start = end + 1;
    }
    std::string list = data;
    if (list.size() >= 2 && list[list.size() - 1] == '\0' && list[list.size() - 2] == '\0')
        list.pop_back();  // the name takes the place of the closing zero
    else if (!list.empty() && list.back() != '\0')
        list.push_back('\0');  // end an unterminated last name first
    else if (list.size() == 1)
        list.clear();  // a lone zero byte is an empty list
    list += name;
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

}  // namespace qb480
