#pragma once
// Checks of the fuzz targets: a failed check names itself on stderr and aborts, so
// libFuzzer keeps the input that failed it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#define KZ_FUZZ_CHECK(condition)                                                               \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace kz::fuzz {

// The sections of an input that carries several texts, separated by form feeds.
inline std::vector<std::string_view> Sections(std::string_view input) {
    std::vector<std::string_view> sections;
    for (;;) {
        std::size_t end = input.find('\f');
        sections.push_back(input.substr(0, end));
        if (end == std::string_view::npos) return sections;
        input.remove_prefix(end + 1);
    }
}

// A folder of the target's own for the files it works with, removed at exit; in memory
// when the machine has a tmpfs at /dev/shm, as creating and deleting thousands of files
// a second is slow on disk.
inline const std::filesystem::path& ScratchDirectory() {
    // Never destroyed, so the removal at exit still knows it.
    static const auto* dir = [] {
        std::error_code error;
        std::filesystem::path root = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (root / "kzfuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDirectory(), ignored);
        });
        return new std::filesystem::path(pattern);
    }();
    return *dir;
}

// Keeps the agent's trace lines, which go to standard output, out of the fuzzer's way.
inline void SilenceStandardOutput() {
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDOUT_FILENO);
}

}  // namespace kz::fuzz
