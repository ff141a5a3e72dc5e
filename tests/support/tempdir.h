#pragma once

#include <filesystem>
#include <string>

namespace shelvix::test {

// A directory under the system temp area, removed with everything in it when
// the object goes away. Every test works in one so it never touches the
// user's files.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Copies a file of tests/data (e.g. "independent/BOOKS1.DBF")
    // into this directory and makes it writable; returns the copy's path.
    std::filesystem::path copyFixture(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

std::filesystem::path fixturePath(const std::string& relative);
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace shelvix::test
