#include "windows/SystemText.h"

#include <windows.h>

#include <vector>

namespace qb480 {

std::string SystemUpperCase(const std::string& text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    CharUpperA(buffer.data());
    return buffer.data();
}

}  // namespace qb480
