#pragma once
// Scratch folders and fixture files for the Windows test programs.

#include <string>

namespace kz::test {

// The fixtures folder (KZ_FIXTURES_DIR) and the folder of the built programs and
// libraries (KZ_WINDOWS_BIN), as the test script passes them.
std::string fixture(const std::string& relative);
std::string builtFile(const std::string& name);

// Paths in UTF-8, as the project's own functions take them.
std::string readWhole(const std::string& path);
void writeWhole(const std::string& path, const std::string& content);  // creates folders

// A new folder under the system's temporary folder, its name starting with `prefix`
// (UTF-8), removed with its content.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& prefix = "kztest");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "\\" + relative; }

  private:
    std::string path_;
};

}  // namespace kz::test
