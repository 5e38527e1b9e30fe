// The report-log index over arbitrary log text: read in two updates (the first over a
// prefix, as while the agent still writes) it counts what one update of the whole text
// counts, and its hits are the "Executed" lines a plain split finds.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "report_index.h"
#include "report_line.h"

namespace {

namespace fs = std::filesystem;
using namespace kz::console;

int64_t total(ReportIndex& index, const char* table) {
    SqliteStatement sum(index.database().handle(),
                        std::string("SELECT COALESCE(SUM(n), 0) FROM ") + table);
    sum.step();
    return sum.integer(0);
}

// Complete lines whose second field is "Executed" and whose stamp reads as an hour.
int64_t executedLines(std::string_view text) {
    int64_t count = 0;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string_view::npos;
         at = end + 1) {
        auto line = ParseReportLine(text.substr(at, end - at));
        if (line && line->action == "Executed" && StampHour(line->stamp)) ++count;
    }
    return count;
}

void write(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), std::streamsize(text.size()));
}

// One folder per fuzzing process, removed when the process exits.
struct ScratchFolder {
    fs::path path =
        fs::temp_directory_path() / ("kz-report-index-fuzz-" + std::to_string(getpid()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const ScratchFolder scratch;
    const std::string dir = scratch.path.string();
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = std::size_t(data[0]) * text.size() / 255;
    const std::string file = dir + "/MTAFILTER-Report-261207.log";

    ReportIndex grown(dir, ":memory:");
    write(file, text.substr(0, split));
    grown.update();
    write(file, text);
    grown.update();
    ReportIndex whole(dir, ":memory:");
    whole.update();
    for (const char* table : {"hits", "messages"})
        if (total(grown, table) != total(whole, table)) std::abort();
    if (total(whole, "hits") != executedLines(text)) std::abort();
    if (grown.allHeldLines().size() != whole.allHeldLines().size()) std::abort();
    return 0;
}
