// The image's replacement on Windows when its temporary file, made by
// GetTempFileNameA, cannot then be opened for writing: nothing is left.
#include "ImageFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "ImportHook.h"

namespace {

using OpenFunction = std::FILE*(__cdecl*)(const char*, const char*);
OpenFunction g_realOpen = nullptr;

std::FILE* __cdecl NoWritingOpen(const char* path, const char* mode)
{
    if (std::strchr(mode, 'w'))
        return nullptr;
    return g_realOpen(path, mode);
}

}  // namespace

TEST(ImageFile, TemporaryFileThatCannotBeOpenedIsRemovedAndTheImageKept)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / "qb480 image file test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string image = (folder / "fw.bin").string();
    {
        std::FILE* old = std::fopen(image.c_str(), "wb");
        ASSERT_TRUE(old);
        std::fputs("old", old);
        std::fclose(old);
    }
    qb480::HexFault fault;
    {
        harness::CImportHook hook(GetModuleHandleA(nullptr), nullptr, "fopen", reinterpret_cast<void*>(NoWritingOpen));
        ASSERT_TRUE(hook);
        g_realOpen = reinterpret_cast<OpenFunction>(hook.original());
        const std::uint8_t bytes[] = {1, 2, 3};
        fault = qb480::ReplaceFileContents(image.c_str(), bytes, sizeof bytes);
    }
    EXPECT_EQ(fault, qb480::HexFault::CannotCreateOutput);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "a temporary file was left";
    EXPECT_EQ(std::filesystem::file_size(image), 3u);
    std::filesystem::remove_all(folder);
}
