// kzmta.exe, started as an administrator starts it, on a quarantine the loaded agent made
// in a folder whose name lies outside every ANSI code page: the arguments and the paths
// the registry names must reach the files whole, and the output comes back in UTF-8.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "loaded_agent.h"
#include "platform/utf8_path.h"
#include "platform/win32/windows_text.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

const std::string kFolder = "Pr\u00fcfung-\u90ae\u4ef6";  // Prüfung-邮件
// A subject whose encoded word holds the folder's name; "lottery" is what holds it.
const std::string kSubject = "Claim your lottery prize " + kFolder;
const std::string kEncodedSubject =
    "Claim your lottery prize =?UTF-8?Q?Pr=C3=BCfung-=E9=82=AE=E4=BB=B6?=";

struct Ran {
    bool finished = false;
    DWORD status = 0;
    std::string out, err;
};

// Quoted whole: no argument here holds a quote or ends in a backslash.
std::wstring quoted(const std::string& argument) {
    return L"\"" + platform::win32::widen(argument) + L"\"";
}

std::string drain(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
    return text;
}

// Runs kzmta.exe with the arguments (UTF-8) in the folder, output through pipes, for at
// most 60 seconds.
Ran kzmta(const std::string& folder, const std::vector<std::string>& arguments) {
    std::wstring line = quoted(builtFile("kzmta.exe"));
    for (const std::string& argument : arguments) line += L" " + quoted(argument);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0))
        return {};
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const std::wstring directory = platform::win32::widen(folder);
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       directory.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    Ran ran;
    if (started) {
        std::thread output([&] { ran.out = drain(outRead); });
        std::thread errors([&] { ran.err = drain(errRead); });
        ran.finished = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
        if (!ran.finished) TerminateProcess(process.hProcess, 1);  // which ends the pipes
        output.join();
        errors.join();
        GetExitCodeProcess(process.hProcess, &ran.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return ran;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(platform::pathFromUtf8(folder)))
        if (entry.is_regular_file())
            names.push_back(platform::utf8FromPath(entry.path().filename()));
    return names;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// "held" quarantines prize mail, files it in the recipient's "Held" folder and takes it
// out of the queue.
TEST(Kzmta, ManagesAQuarantineInAFolderOutsideTheCodePage) {
    if (GetFileAttributesW(platform::win32::widen(builtFile("kzmta.exe")).c_str()) ==
        INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "kzmta.exe is built for 64-bit Windows only";
    LoadedAgent agent("held", kFolder);
    ASSERT_NE(agent.root().find(kFolder), std::string::npos);
    fs::create_directories(platform::pathFromUtf8(agent.file("mail\\example.com\\MAILROOT\\anna")));
    std::string prize = readWhole(fixture("dispatch/messages/prize.eml"));
    prize.replace(prize.find("Claim your lottery prize"), 24, kEncodedSubject);
    const std::string envelope = readWhole(fixture("dispatch/messages/prize.cmd"));
    agent.queueText("KEEP.MAI", envelope, prize);
    agent.queueText("DROP.MAI", envelope, prize);
    agent.filter({"KEEP.MAI", "DROP.MAI"});
    const std::string root = agent.root();
    ASSERT_EQ(namesIn(agent.file("quarantine")).size(), 2u);

    Ran list = kzmta(root, {"quarantine", "list", "--json"});
    ASSERT_TRUE(list.finished);
    EXPECT_EQ(list.status, 0u) << list.err;
    EXPECT_TRUE(has(list.out, "\"id\":\"KEEP.MAI\"")) << list.out;
    EXPECT_TRUE(has(list.out, "\"subject\":\"" + kSubject + "\"")) << list.out;
    EXPECT_TRUE(has(list.out, "\"filters\":[\"Prizes are held\"]")) << list.out;

    Ran shown = kzmta(root, {"quarantine", "show", "KEEP.MAI"});
    EXPECT_EQ(shown.status, 0u) << shown.err;
    EXPECT_TRUE(has(shown.out, kSubject)) << shown.out;
    // A path through the folder, given whole on the command line.
    Ran inspected = kzmta(root, {"inspect", agent.file("quarantine\\Messages\\KEEP.MAI")});
    EXPECT_EQ(inspected.status, 0u) << inspected.err;
    EXPECT_TRUE(has(inspected.out, kSubject)) << inspected.out;

    Ran released = kzmta(root, {"quarantine", "release", "KEEP.MAI", "--json"});
    EXPECT_EQ(released.status, 0u) << released.err;
    const std::string inbound = agent.file("queue\\SMTP\\Inbound");
    const std::vector<std::string> queued = namesIn(inbound);
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(has(released.out, "\"queuedAs\":\"" + queued[0] + "\"")) << released.out;
    EXPECT_TRUE(has(readWhole(inbound + "\\" + queued[0]), "Recipients=[SMTP:anna@example.com]"));
    EXPECT_TRUE(has(readWhole(inbound + "\\Messages\\" + queued[0]), kEncodedSubject));
    // The message file is written before the command file that makes it a message.
    EXPECT_LE(fs::last_write_time(platform::pathFromUtf8(inbound + "\\Messages\\" + queued[0])),
              fs::last_write_time(platform::pathFromUtf8(inbound + "\\" + queued[0])));

    Ran refused = kzmta(root, {"quarantine", "delete", "..\\DROP.MAI"});
    EXPECT_EQ(refused.status, 2u);
    EXPECT_TRUE(has(refused.err, "not a quarantined message's ID")) << refused.err;
    Ran deleted = kzmta(root, {"quarantine", "delete", "DROP.MAI"});
    EXPECT_EQ(deleted.status, 0u) << deleted.err;
    EXPECT_TRUE(namesIn(agent.file("quarantine")).empty());

    // Two messages filtered, each held by the one filter, as the report log says.
    Ran stats = kzmta(root, {"stats", "--json"});
    EXPECT_EQ(stats.status, 0u) << stats.err;
    EXPECT_TRUE(has(stats.out, "\"messages\":2,")) << stats.out;
    EXPECT_TRUE(has(stats.out, "{\"description\":\"Prizes are held\",\"hits\":2,")) << stats.out;
}

}  // namespace
}  // namespace kz::test
