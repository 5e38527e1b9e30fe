// Fuzz target: an administrator's FILTERS folder as the loaders read it — FILTER.TAB,
// criteria tables and scripts, word files and action files — and the check that
// reports its problems. The input holds the files as sections split at form feeds; a
// section's first line is "FILTER", or "CRITERIA", "ACTIONS" or "PATTERNS" and a file
// name, and the rest of the section is the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "actions/action_line.h"
#include "filters/config_lines.h"
#include "filters/filter_table.h"
#include "filters/table_diagnostics.h"
#include "fuzz_check.h"

namespace {

namespace fs = std::filesystem;

fs::path configDirectory() {
    return kz::fuzz::ScratchDirectory();
}

// Only plain names, so no input writes outside the folder.
bool safeName(std::string_view name) {
    if (name.empty() || name.size() > 40 || name.front() == '.') return false;
    for (char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '_' || c == '-';
        if (!plain) return false;
    }
    return true;
}

// Word-file references and criteria names may name any path; the run keeps to files
// that cannot block or never end.
bool mayNameDeviceFiles(std::string_view input) {
    std::string lower(input);
    for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (std::string_view word : {"dev", "proc", "sys", "run"}) {
        if (lower.find(word) != std::string::npos) return true;
    }
    return false;
}

// False when the section is not to be run.
bool writeSection(const fs::path& filters, std::string_view section) {
    std::size_t end = section.find('\n');
    if (end == std::string_view::npos) return true;
    std::string_view head = section.substr(0, end);
    std::string_view content = section.substr(end + 1);
    fs::path path;
    if (head == "FILTER") {
        path = filters / "FILTER.TAB";
    } else {
        std::size_t blank = head.find(' ');
        if (blank == std::string_view::npos) return true;
        std::string_view folder = head.substr(0, blank);
        std::string_view name = head.substr(blank + 1);
        if (!safeName(name)) return true;
        if (folder != "CRITERIA" && folder != "ACTIONS" && folder != "PATTERNS") return true;
        path = filters / std::string(folder) / std::string(name);
    }
    // FILTER.TAB names criteria files, criteria name word files.
    bool namesPaths = head == "FILTER" || head.starts_with("CRITERIA");
    if (namesPaths && mayNameDeviceFiles(content)) return false;
    std::ofstream(path, std::ios::binary).write(content.data(), std::streamsize(content.size()));
    return true;
}

void parseActionFile(const fs::path& path) {
    auto lines = kz::filters::ReadConfigLines(path.string());
    if (!lines) return;
    for (const std::string& text : *lines) {
        kz::actions::ActionLine line = kz::actions::ParseActionLine(text);
        KZ_FUZZ_CHECK(kz::actions::ActionLine::kFieldLimit.fits(line.data));
        KZ_FUZZ_CHECK(kz::actions::ActionLine::kFieldLimit.fits(line.description));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kz::fuzz::SilenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const fs::path filters = configDirectory() / "FILTERS";
    fs::remove_all(filters);
    for (const char* folder : {"CRITERIA", "ACTIONS", "PATTERNS"}) {
        fs::create_directories(filters / folder);
    }
    for (std::string_view section : kz::fuzz::Sections(input)) {
        if (!writeSection(filters, section)) return -1;  // not added to the corpus
    }

    kz::filters::FilterTable table;
    kz::filters::LoadFilterTable(table, kz::filters::LoadOptions{configDirectory().string(), true});
    KZ_FUZZ_CHECK(table.filterCount() <= kz::filters::kMaxFilters);
    kz::filters::DiagnoseFilterTab(table);
    kz::filters::DiagnoseCriteriaFiles(table);
    for (const auto& entry : fs::directory_iterator(filters / "ACTIONS")) {
        parseActionFile(entry.path());
    }
    kz::filters::ReleaseFilterTable(table);
    return 0;
}
