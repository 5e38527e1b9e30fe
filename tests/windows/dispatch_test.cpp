// The agent library loaded with LoadLibrary, as the MTA loads it, filtering the sample
// messages of the dispatch cases with the registry set up here. A case's outcome, its
// report lines without their time stamps and every file the run left in the queue,
// bad-mail and quarantine folders, must be byte for byte the outcome the Linux library
// gives, which tests/fixtures/dispatch/<case>/outcome.txt holds.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "platform/registry.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

using InitFn = int(__stdcall*)(int);
using ExecuteFn = int(__stdcall*)(const char*, const char*, const char*, int);

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The outcome in the form of outcome.txt: "== report" and the Executed lines, then
// "== FILE" and the content of each file, by relative path in byte order.
std::string outcomeOf(const fs::path& root) {
    std::string outcome = "== report\n";
    std::vector<std::string> logs;
    for (const auto& entry : fs::directory_iterator(root / "logs"))
        logs.push_back(entry.path().string());
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
                files.push_back(fs::relative(entry.path(), root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files)
        outcome += "== " + file + "\n" + readWhole((root / file).string());
    return outcome;
}

// A mail server in a scratch folder built from the case, its registry values in the
// machine's registry, and the library loaded for the span of the object.
class LoadedAgent {
  public:
    explicit LoadedAgent(const std::string& caseName) {
        fs::path from = fixture("dispatch/" + caseName);
        std::string root = fs::path(scratch.path()).generic_string();
        for (const auto& entry : fs::recursive_directory_iterator(from)) {
            if (!entry.is_regular_file() || entry.path().filename() == "outcome.txt") continue;
            std::string relative = fs::relative(entry.path(), from).generic_string();
            writeWhole(scratch.file(relative),
                       replaced(readWhole(entry.path().string()), "@ROOT@", root));
        }
        for (const char* folder : {"logs", "badmail", "quarantine", "queue/SMTP/Inbound/Messages"})
            fs::create_directories(scratch.file(folder));
        platform::Registry registry(platform::Registry::defaultPath());
        registry.importText("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel]\r\n");
        platform::RegResult imported = registry.importText(
            replaced(readWhole(fixture("dispatch/registry.reg")), "@ROOT@", root));
        if (!imported.ok()) throw std::runtime_error(imported.message);
    }

    ~LoadedAgent() { unload(); }

    void queue(const std::string& id, const std::string& sample) {
        std::string messages = fixture("dispatch/messages/" + sample);
        writeWhole(scratch.file("queue/SMTP/Inbound/" + id), readWhole(messages + ".cmd"));
        writeWhole(scratch.file("queue/SMTP/Inbound/Messages/" + id), readWhole(messages + ".eml"));
    }

    // Loads the library (attach reads the registry), filters the messages in order and
    // unloads it (detach writes the report's end line).
    void filter(const std::vector<std::string>& ids) {
        library = LoadLibraryA(builtFile("KZMTAFILTER.DLL").c_str());
        ASSERT_TRUE(library) << GetLastError();
        auto init = entry<InitFn>("FilterInit");
        auto execute = entry<ExecuteFn>("FilterExecute");
        auto uninit = entry<InitFn>("FilterUnInit");
        ASSERT_TRUE(init && execute && uninit);
        EXPECT_EQ(init(0), 1);
        for (const std::string& id : ids) EXPECT_EQ(execute("kztest", id.c_str(), "SMTP", 0), 1);
        EXPECT_EQ(uninit(0), 1);
        unload();
    }

    std::string outcome() const { return outcomeOf(scratch.path()); }

  private:
    template <typename F>
    F entry(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }

    void unload() {
        if (library) FreeLibrary(library);
        library = nullptr;
    }

    ScratchFolder scratch;
    HMODULE library = nullptr;
};

struct DispatchCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> messages;  // id, sample
};

void PrintTo(const DispatchCase& c, std::ostream* out) {
    *out << c.name;
}

class Dispatch : public testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, TheOutcomeIsTheLinuxOutcome) {
    const DispatchCase& c = GetParam();
    LoadedAgent agent(c.name);
    std::vector<std::string> ids;
    for (const auto& [id, sample] : c.messages) {
        agent.queue(id, sample);
        ids.push_back(id);
    }
    agent.filter(ids);
    EXPECT_EQ(agent.outcome(), readWhole(fixture("dispatch/" + c.name + "/outcome.txt")));
}

// Lines: disabled and short action lines, a failing MOVE, a stop in the middle and a
// lower-case keyword. Verdicts: all-of and any-of tables and a criteria script.
INSTANTIATE_TEST_SUITE_P(
    Cases, Dispatch,
    testing::Values(DispatchCase{"lines", {{"PRIZE.MAI", "prize"}, {"FIGURES.MAI", "figures"}}},
                    DispatchCase{"verdicts", {{"PRIZE.MAI", "prize"}}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kz::test
