#include "FirmwareNames.h"

namespace qb480 {

std::string FolderOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

FirmwareNames NamesForPickedFile(const std::string& picked)
{
    const std::size_t separator = picked.find_last_of("\\/");
    std::string title = separator == std::string::npos ? picked : picked.substr(separator + 1);
    const std::size_t dot = title.find_last_of('.');
    if (dot != std::string::npos)
        title.erase(dot);
    const std::string folder = FolderOf(picked);
    FirmwareNames names;
    names.title = title;
    // The HEX file beside the picked one, wherever the current directory is.
    names.hexPath = separator == std::string::npos ? title + ".hex" : folder + "\\" + title + ".hex";
    names.imageName = title + ".bin";
    return names;
}

}  // namespace qb480
