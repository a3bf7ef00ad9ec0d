#include "FirmwareNames.h"

namespace qb480 {

namespace {

// The name without its folder and without everything from its last '.' on.
std::string TitleOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    std::string title = separator == std::string::npos ? path : path.substr(separator + 1);
    const std::size_t dot = title.find_last_of('.');
    if (dot != std::string::npos)
        title.erase(dot);
    return title;
}

}  // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

FirmwareNames NamesForPickedFile(const std::string& picked)
{
    FirmwareNames names;
    names.title = TitleOf(picked);
    // The HEX file beside the picked one, wherever the current directory is.
    const std::string folder = FolderOf(picked);
    names.hexPath = picked.find_last_of("\\/") == std::string::npos ? names.title + ".hex"
                                                                     : folder + "\\" + names.title + ".hex";
    names.imageName = names.title + ".bin";
    return names;
}

FirmwareNames NamesForGivenFile(const std::string& given)
{
    FirmwareNames names;
    names.title = TitleOf(given);
    names.hexPath = given;
    names.imageName = names.title + ".bin";
    return names;
}

}  // namespace qb480
