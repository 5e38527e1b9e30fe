#include "folder_progress.h"

#include <cstdio>
#include <filesystem>

#include "platform/console.h"
#include "platform/utf8_path.h"

namespace kz::tool {

namespace fs = std::filesystem;

uint64_t FolderBytes(const std::vector<std::string>& paths) {
    uint64_t total = 0;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::path root = platform::pathFromUtf8(path);
        if (!fs::is_directory(root, error)) {
            const uintmax_t size = fs::file_size(root, error);
            if (!error) total += size;
            continue;
        }
        fs::recursive_directory_iterator it(root, error), end;
        for (; !error && it != end; it.increment(error)) {
            const std::string name = platform::utf8FromPath(it->path().filename());
            if (name.starts_with(".") || (name == "tmp" && it->is_directory(error))) {
                if (it->is_directory(error)) it.disable_recursion_pending();
                continue;
            }
            if (it->is_regular_file(error)) total += it->file_size(error);
        }
    }
    return total;
}

FolderProgress::FolderProgress(bool wanted, uint64_t totalBytes)
    : on_(wanted && platform::stderrIsTerminal()), total_(totalBytes) {}

void FolderProgress::advance(uint64_t bytes) {
    ++messages_;
    bytes_ += bytes;
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    show(false);
}

void FolderProgress::done() {
    if (on_) show(true);
}

void FolderProgress::show(bool last) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? double(messages_) / seconds : 0;
    std::string left;
    if (!last && total_ > 0 && bytes_ > 0 && bytes_ < total_) {
        const auto remaining = uint64_t(seconds * double(total_ - bytes_) / double(bytes_));
        char text[48];
        std::snprintf(text, sizeof text, ", %llu:%02llu left",
                      static_cast<unsigned long long>(remaining / 60),
                      static_cast<unsigned long long>(remaining % 60));
        left = text;
    }
    // Blanks at the end wipe a longer line before it.
    std::fprintf(stderr, "\r%llu messages, %.0f/s%s      %s",
                 static_cast<unsigned long long>(messages_), rate, left.c_str(), last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace kz::tool
