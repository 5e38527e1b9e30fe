#pragma once
// Checks of the fuzz targets: a failed check names itself on stderr and aborts, so
// libFuzzer keeps the input that failed it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

// Keeps the agent's trace lines, which go to standard output, out of the fuzzer's way.
inline void SilenceStandardOutput() {
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDOUT_FILENO);
}

}  // namespace kz::fuzz
