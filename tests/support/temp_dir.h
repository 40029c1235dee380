#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of name inside the folder, as the program's 8-bit file names are written.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes to name (creating folders on the way) and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadWholeFile(const std::filesystem::path& path);
