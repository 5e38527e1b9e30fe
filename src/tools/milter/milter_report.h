#pragma once
// Which filters acted on one run, read from the lines the run added to the day's report
// log (when the agent logs to a file): only what was appended while the run went is
// read, and no more than a bound of it.

#include <cstdint>
#include <string>
#include <vector>

namespace kz::tool {

class ReportLogWindow {
  public:
    // Notes the day's report file in `logDirectory` and its size now; an empty directory
    // (no Activity Log Directory) reads nothing.
    explicit ReportLogWindow(std::string logDirectory);
    // The filters of the "Executed" lines for the message written since, in their order.
    std::vector<std::string> filtersFor(const std::string& messageId) const;

  private:
    std::string directory_, file_;
    std::uint64_t start_ = 0;
};

}  // namespace kz::tool
