#pragma once
// kzmta.exe started as an administrator starts it, its standard output and error in one
// pipe; ended by its handle, waited for with a bound, however the test ends.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kz::test {

class KzmtaProcess {
  public:
    // The arguments and the working folder (none: the test's own) in UTF-8. Each argument
    // is passed quoted: none may hold a quote or end in a backslash.
    explicit KzmtaProcess(const std::vector<std::string>& args, const std::string& folder = {});
    ~KzmtaProcess();
    KzmtaProcess(const KzmtaProcess&) = delete;
    KzmtaProcess& operator=(const KzmtaProcess&) = delete;

    // Reads what it writes until `marker` and a line end follow, it ends, or `bound` passes.
    bool awaitLine(const std::string& marker, std::chrono::milliseconds bound);
    // Its exit code once it ended within `bound`, with all it wrote read.
    std::optional<DWORD> exitCode(std::chrono::milliseconds bound);
    const std::string& output() const { return output_; }

  private:
    bool readAvailable();

    HANDLE process_ = nullptr;
    HANDLE read_ = nullptr;
    std::string output_;
};

}  // namespace kz::test
