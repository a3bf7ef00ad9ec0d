#pragma once
// A folder of its own for each test, removed with everything in it.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class CTempFolder {
public:
    CTempFolder()
    {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("qb480-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~CTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::string Path(const std::string& name) const { return (m_path / name).string(); }

    // Written byte for byte: no line-end translation on any platform.
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(m_path / name, std::ios::binary) << bytes;
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(m_path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path m_path;
};
