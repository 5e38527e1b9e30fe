#include "windows_test_support.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWhole(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

ScratchFolder::ScratchFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    path_ = std::string(base) + "kztest-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace kz::test
