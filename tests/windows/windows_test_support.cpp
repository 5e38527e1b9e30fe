#include "windows_test_support.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/utf8_path.h"

namespace kz::test {

namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

}  // namespace

std::string fixture(const std::string& relative) {
    return fromEnvironment("KZ_FIXTURES_DIR") + "/" + relative;
}

std::string builtFile(const std::string& name) {
    return fromEnvironment("KZ_WINDOWS_BIN") + "/" + name;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(platform::pathFromUtf8(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWhole(const std::string& path, const std::string& content) {
    const std::filesystem::path file = platform::pathFromUtf8(path);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    static int counter = 0;
    path_ = platform::utf8FromPath(base) + prefix + "-" + std::to_string(GetCurrentProcessId()) +
            "-" + std::to_string(++counter);
    std::filesystem::remove_all(platform::pathFromUtf8(path_));
    std::filesystem::create_directories(platform::pathFromUtf8(path_));
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(platform::pathFromUtf8(path_), ignored);
}

}  // namespace kz::test
