#pragma once
// Shared helpers of the tests: scratch folders, file contents, child processes.

#include <map>
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
// Copies a fixture folder into `to`, each "@ROOT@" in its files replaced by `to`.
void copyFixture(std::string_view relative, const std::string& to);
// Every regular file below a folder (none when it is missing), by path relative to it.
std::map<std::string, std::string> fileTree(const std::string& root);
// The lines of the report logs in a folder, in name order, without their time stamps and
// without the column headers.
std::vector<std::string> reportLines(const std::string& logDirectory);
std::vector<std::string> tabFields(std::string_view line);

struct RunOutput {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out;
    std::string err;
};
// Runs argv (no shell) with extra "NAME=VALUE" environment entries, capturing output.
RunOutput run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              std::string_view input = {});

std::string binPath(std::string_view name);      // build/.../bin/NAME
std::string libDir();                            // build/.../lib (the agent and its libraries)
std::string libPath(std::string_view name);      // libDir()/NAME
std::string testLibPath(std::string_view name);  // build/.../testlibs/NAME (stand-in libraries)

// A program running beside the test, its standard output read line by line.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    ~Child();  // kills the child when it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Reads output until a line containing `text` (true) or the end of output or the
    // bound (false). Everything read is kept in output().
    bool waitForLine(std::string_view text, int seconds = 30);
    void signal(int signalNumber);
    int wait();  // exit status, or -1 after a signal; reads the rest of the output
    const std::string& output() const { return output_; }

  private:
    int pid_ = -1;
    int outFd_ = -1;
    std::string output_;
};

}  // namespace kz::test
