#pragma once
// What the stand-in provider libraries share: each copy answers from the file
// "<its own path without extension>.reply" and notes every call in "<...>.calls", so a
// test can place several copies under the names the agent loads and tell them apart.

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace stub {

inline std::string basePath() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&basePath), &info);
    std::string path = info.dli_fname ? info.dli_fname : "";
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

inline std::string readAnswer(const char* suffix = ".reply") {
    std::ifstream in(basePath() + suffix, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void noteCall(const std::string& line) {
    std::ofstream out(basePath() + ".calls", std::ios::app | std::ios::binary);
    out << line << '\n';
}

// Copies the answer into a caller's buffer of `size` bytes, always terminated.
inline void fill(char* buffer, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace stub
