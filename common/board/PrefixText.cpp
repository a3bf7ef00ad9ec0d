#include "board/PrefixText.h"

namespace qb480 {

std::string TrimWhiteSpace(const std::string& text)
{
    static const char kWhiteSpace[] = " \t\n\r\v\f";
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    if (last == std::string::npos)
        return std::string();
    return text.substr(0, last + 1).substr(text.find_first_not_of(kWhiteSpace));
}

}  // namespace qb480
