// The agent library loaded with LoadLibrary, as the MTA loads it, filtering the sample
// messages of the dispatch cases. A case's outcome, its report lines without their time
// stamps and every file the run left in the queue, bad-mail and quarantine folders, must
// be byte for byte the outcome the Linux library gives, which
// tests/fixtures/dispatch/<case>/outcome.txt holds.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "loaded_agent.h"
#include "platform/named_lock.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

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

// Loading the library takes nothing that can wait under the loader lock, which every
// thread start of the process needs: with the log lock held elsewhere, the first entry
// called waits for it (at most its bound) while other threads start at once.
TEST(Attach, TheLogLockHeldElsewhereStallsNoThreadStart) {
    using namespace std::chrono_literals;
    LoadedAgent agent("lines");  // the registry and folders the attach reads
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        platform::NamedLock lock("KZAVFLTDebugLog");
        if (!lock.lock(5s)) return;
        SetEvent(held);
        WaitForSingleObject(release, 20000);
        lock.unlock();
    });
    ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    HMODULE library = nullptr;
    int initResult = -1;
    std::thread loader([&] {
        library = LoadLibraryA(builtFile("KZMTAFILTER.DLL").c_str());
        using InitFn = int(__stdcall*)(int);
        auto init = reinterpret_cast<InitFn>(
            reinterpret_cast<void*>(library ? GetProcAddress(library, "FilterInit") : nullptr));
        if (init) initResult = init(0);
    });
    Sleep(500);  // the loader is in the load or in the first entry by now
    const auto before = std::chrono::steady_clock::now();
    std::thread([] {}).join();
    const auto threadStart = std::chrono::steady_clock::now() - before;
    SetEvent(release);
    holder.join();
    loader.join();
    CloseHandle(held);
    CloseHandle(release);
    EXPECT_LT(threadStart, 2s);
    EXPECT_EQ(initResult, 1);
    if (library) FreeLibrary(library);
}

}  // namespace
}  // namespace kz::test
