#include "loaded_agent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/utf8_path.h"

namespace kz::test {

namespace {

namespace fs = std::filesystem;

using InitFn = int(__stdcall*)(int);
using ExecuteFn = int(__stdcall*)(const char*, const char*, const char*, int);
using CommandFn = int(__stdcall*)(int, int, const char*);

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The path in UTF-8 with '/' between its parts.
std::string genericUtf8(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

template <typename F>
F entry(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

LoadedAgent::LoadedAgent(const std::string& caseName, const std::string& folderName)
    : scratch(folderName) {
    fs::path from = platform::pathFromUtf8(fixture("dispatch/" + caseName));
    std::string root = genericUtf8(platform::pathFromUtf8(scratch.path()));
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        if (!entry.is_regular_file() || entry.path().filename() == "outcome.txt") continue;
        std::string relative = fs::relative(entry.path(), from).generic_string();
        writeWhole(scratch.file(relative),
                   replaced(readWhole(platform::utf8FromPath(entry.path())), "@ROOT@", root));
    }
    for (const char* folder : {"logs", "badmail", "quarantine", "queue/SMTP/Inbound/Messages"})
        fs::create_directories(platform::pathFromUtf8(scratch.file(folder)));
    platform::Registry machine = registry();
    machine.importText("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel]\r\n");
    platform::RegResult imported =
        machine.importText(replaced(readWhole(fixture("dispatch/registry.reg")), "@ROOT@", root));
    if (!imported.ok()) throw std::runtime_error(imported.message);
}

void LoadedAgent::queue(const std::string& id, const std::string& sample) {
    std::string messages = fixture("dispatch/messages/" + sample);
    queueText(id, readWhole(messages + ".cmd"), readWhole(messages + ".eml"));
}

void LoadedAgent::queueText(const std::string& id, const std::string& envelope,
                            const std::string& text) {
    writeWhole(scratch.file("queue/SMTP/Inbound/" + id), envelope);
    writeWhole(scratch.file("queue/SMTP/Inbound/Messages/" + id), text);
}

void LoadedAgent::filter(const std::vector<std::string>& ids,
                         const std::vector<std::string>& commands) {
    library = LoadLibraryA(builtFile("KZMTAFILTER.DLL").c_str());
    ASSERT_TRUE(library) << GetLastError();
    auto init = entry<InitFn>(library, "FilterInit");
    auto execute = entry<ExecuteFn>(library, "FilterExecute");
    auto command = entry<CommandFn>(library, "FilterCommand");
    auto uninit = entry<InitFn>(library, "FilterUnInit");
    ASSERT_TRUE(init && execute && command && uninit);
    EXPECT_EQ(init(0), 1);
    for (const std::string& text : commands) EXPECT_EQ(command(0, 0, text.c_str()), 1) << text;
    for (const std::string& id : ids) EXPECT_EQ(execute("kztest", id.c_str(), "SMTP", 0), 1);
    EXPECT_EQ(uninit(0), 1);
    unload();
}

std::string LoadedAgent::outcome() const {
    const fs::path root = platform::pathFromUtf8(scratch.path());
    std::string outcome = "== report\n";
    std::vector<std::string> logs;
    for (const auto& entry : fs::directory_iterator(root / "logs"))
        logs.push_back(platform::utf8FromPath(entry.path()));
    std::sort(logs.begin(), logs.end());
    for (const std::string& log : logs) {
        std::string text = readWhole(log);
        for (std::size_t from = 0, end; from < text.size(); from = end + 1) {
            end = std::min(text.find('\n', from), text.size());
            std::string line = text.substr(from, end - from);
            std::size_t tab = line.find('\t');
            if (tab != std::string::npos && line.compare(tab + 1, 9, "Executed\t") == 0)
                outcome += line.substr(tab + 1) + "\n";
        }
    }
    std::vector<std::string> files;
    for (const char* folder : {"queue", "badmail", "quarantine"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (entry.is_regular_file())
                files.push_back(genericUtf8(fs::relative(entry.path(), root)));
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files)
        outcome += "== " + file + "\n" +
                   readWhole(platform::utf8FromPath(root / platform::pathFromUtf8(file)));
    return outcome;
}

void LoadedAgent::unload() {
    if (library) FreeLibrary(library);
    library = nullptr;
}

}  // namespace kz::test
