#pragma once
// Shared helpers of the tests: scratch folders, file contents, child processes.

#include <string>
#include <string_view>
#include <vector>

namespace kz::test {

// A fresh folder under the system temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Writes a file, creating missing parent folders.
void writeFile(const std::string& path, std::string_view content);
std::string readFile(const std::string& path);  // empty when missing
bool exists(const std::string& path);
std::string fixture(std::string_view relative);  // path under tests/fixtures

struct RunOutput {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out;
    std::string err;
};
// Runs argv (no shell) with extra "NAME=VALUE" environment entries, capturing output.
RunOutput run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              std::string_view input = {});

std::string binPath(std::string_view name);  // build/.../bin/NAME

}  // namespace kz::test
