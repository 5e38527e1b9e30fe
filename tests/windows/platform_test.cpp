// The platform layer on the system's own functions: registry, named locks, libraries,
// processes, file replacement, code pages and the seal's primitives.
//
// The program is also its own second process: "hold-lock NAME EVENT" takes the named
// lock, signals the event and waits to be killed; "exit N" ends with code N; "sleep"
// sleeps for a minute; "probe-handle N" exits 1 when handle N is an open event;
// "start-sleeper FILE" starts a "sleep" process, writes its id to FILE and sleeps.

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cstdlib>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <thread>

#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/dns_query.h"
#include "platform/dynlib.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/named_lock.h"
#include "platform/process.h"
#include "platform/process_info.h"
#include "platform/registry.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

using namespace std::chrono_literals;
using platform::RegType;
using platform::RegValue;

constexpr const char* kTestKey = "SOFTWARE\\Kaztrel\\PlatformTest";

struct RegistryTest : testing::Test {
    platform::Registry registry{platform::Registry::defaultPath()};
    void SetUp() override {
        registry.importText(
            "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\PlatformTest]\r\n");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(RegistryTest, EveryTypeKeepsItsBytesAndTheSmallestDwordRules) {
    std::vector<RegValue> written = {
        RegValue::fromString("Text", "C:\\Program Files\\Kaztrel"),
        RegValue{"Expand", RegType::ExpandSz, {'%', 'A', '%', 0}},
        RegValue{"Bytes", RegType::Binary, {0, 1, 0xFF}},
        RegValue::fromDword("Number", 0x12345678),
        RegValue{"List", RegType::MultiSz, {'a', 0, 'b', 0, 0}},
        RegValue{"Wide", RegType::Qword, {1, 2, 3, 4, 5, 6, 7, 8}},
        RegValue{"Empty", RegType::Sz, {}},
    };
    for (const RegValue& value : written) ASSERT_TRUE(registry.setValue(kTestKey, value).ok());
    for (const RegValue& value : written) {
        std::optional<RegValue> read = registry.query(kTestKey, value.name);
        ASSERT_TRUE(read) << value.name;
        EXPECT_EQ(*read, value) << value.name;
    }
    // Names compare without regard to case; a DWORD reader takes at most four bytes.
    EXPECT_EQ(registry.query(kTestKey, "NUMBER")->asDword(), 0x12345678u);
    EXPECT_FALSE(registry.query(kTestKey, "Wide")->asDword());
    EXPECT_EQ(registry.values(kTestKey).size(), written.size());
    EXPECT_EQ(registry.deleteValue(kTestKey, "Missing").status, platform::RegStatus::NotFound);
}

// Names and texts are UTF-8 on our side and UTF-16 in the system.
TEST_F(RegistryTest, TextIsUtf8HereAndUtf16InTheSystem) {
    const std::string name =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xD0\xBF";
    ASSERT_TRUE(registry.setString(kTestKey, name, name).ok());
    EXPECT_EQ(registry.query(kTestKey, name)->asString(), name);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kaztrel\\PlatformTest", 0,
                            KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key),
              ERROR_SUCCESS);
    wchar_t wide[32] = {};
    DWORD size = sizeof wide - sizeof(wchar_t);
    EXPECT_EQ(RegQueryValueExW(key, L"Gr\u00FC\u00DFe \u043F", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(wide), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::wstring(wide), L"Gr\u00FC\u00DFe \u043F");
}

// Only the system, administrators and this account may open a restricted key.
TEST_F(RegistryTest, ARestrictedKeyIsClosedToOtherUsers) {
    const std::string key = std::string(kTestKey) + "\\Secret";
    ASSERT_TRUE(registry.restrictKey(key).ok());
    ASSERT_TRUE(registry.setString(key, "Value", "secret").ok());
    EXPECT_EQ(registry.query(key, "Value")->asString(), "secret");
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kaztrel\\PlatformTest\\Secret", 0,
                            READ_CONTROL | KEY_WOW64_32KEY, &handle),
              ERROR_SUCCESS);
    DWORD size = 0;
    RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<std::max_align_t> descriptor(size / sizeof(std::max_align_t) + 1);
    ASSERT_EQ(RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor.data(), &size),
              ERROR_SUCCESS);
    RegCloseKey(handle);
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    const std::wstring dacl = text;
    LocalFree(text);
    const std::string shown(dacl.begin(), dacl.end());
    EXPECT_TRUE(dacl.starts_with(L"D:P")) << shown;  // nothing inherited from the parent
    EXPECT_NE(dacl.find(L";;;SY)"), std::wstring::npos) << shown;
    EXPECT_NE(dacl.find(L";;;BA)"), std::wstring::npos) << shown;
    for (const wchar_t* others : {L";;;BU)", L";;;WD)", L";;;AU)"})
        EXPECT_EQ(dacl.find(others), std::wstring::npos) << shown;
    std::size_t entries = 0;
    for (std::size_t at = 0; (at = dacl.find(L"(A;", at)) != std::wstring::npos; ++at) ++entries;
    EXPECT_EQ(entries, 3u) << shown;
}

// The 64-bit build opens the view the 32-bit library sees: its keys are under
// Wow6432Node for a 64-bit reader.
TEST_F(RegistryTest, WritesGoToTheThirtyTwoBitView) {
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 4 && !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64))
        GTEST_SKIP() << "a 32-bit system has one view";
    ASSERT_TRUE(registry.setDword(kTestKey, "View", 32).ok());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Kaztrel\\PlatformTest", 0,
                            KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExA(key, "View", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 32u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ImportAndExportRoundTripSubkeysAndDeletions) {
    ASSERT_TRUE(registry
                    .importText("Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\PlatformTest\\A]\r\n"
                                "\"Path\"=\"C:\\\\Mail\"\r\n\"Gone\"=dword:00000001\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\PlatformTest\\B]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\PlatformTest\\A]\r\n"
                                "\"Gone\"=-\r\n")
                    .ok());
    EXPECT_EQ(registry.query(kTestKey + std::string("\\A"), "Path")->asString(), "C:\\Mail");
    EXPECT_FALSE(registry.query(kTestKey + std::string("\\A"), "Gone"));
    std::vector<std::string> subkeys = registry.subkeys(kTestKey);
    std::sort(subkeys.begin(), subkeys.end());
    EXPECT_EQ(subkeys, (std::vector<std::string>{"A", "B"}));
    std::string exported = registry.exportText(kTestKey);
    EXPECT_NE(
        exported.find(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\PlatformTest\\A]\n\"Path\"=\"C:\\\\Mail\"\n"),
        std::string::npos)
        << exported;
    EXPECT_FALSE(registry.importText("[HKEY_LOCAL_MACHINE\\unterminated").ok());
}

HANDLE startSelf(const std::string& arguments) {
    std::string line = "\"" + platform::executablePath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

TEST(NamedLock, HeldAcrossThreadsAndProcessesAndAnAbandonedOneIsTaken) {
    const std::string name = "KZTestLock-" + std::to_string(GetCurrentProcessId());
    platform::NamedLock mine(name);
    {
        // Another thread holds it, then ends without releasing it.
        std::thread holder([&] {
            platform::NamedLock theirs(name);
            ASSERT_TRUE(theirs.lock(1s));
            ASSERT_TRUE(theirs.lock(0ms));  // recursive for its owner
        });
        holder.join();
        EXPECT_TRUE(mine.lock(1s));  // abandoned counts as acquired
        mine.unlock();
    }
    // Another process holds it until it is killed.
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    HANDLE child = startSelf("hold-lock " + name + " " + name + "-ready");
    ASSERT_TRUE(child);
    ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(mine.lock(300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 250ms);
    TerminateProcess(child, 1);
    WaitForSingleObject(child, 20000);
    EXPECT_TRUE(mine.lock(5s));
    mine.unlock();
    mine.unlock();  // not held: does nothing
    CloseHandle(child);
    CloseHandle(ready);
}

TEST(DynamicLibrary, LoadsByPathAndTellsWhyNot) {
    std::string why;
    auto library = platform::DynamicLibrary::load(builtFile("KZAISO.DLL"), &why);
    ASSERT_TRUE(library) << why;
    EXPECT_TRUE(library->symbol("GetOption"));
    EXPECT_FALSE(library->symbol("NoSuchEntry"));
    EXPECT_FALSE(platform::DynamicLibrary::load(builtFile("MISSING.DLL"), &why));
    EXPECT_NE(why.find("MISSING.DLL"), std::string::npos) << why;
}

TEST(Processes, ExitCodesBoundsAndCommandLinesWithoutAShell) {
    std::string self = "\"" + platform::executablePath() + "\"";
    platform::ProcessResult done = platform::runProcess(self + " exit 7", 20s);
    EXPECT_TRUE(done.started && done.finished && !done.killed);
    EXPECT_EQ(done.exitCode, 7);

    platform::ProcessResult slow = platform::runProcess(self + " sleep", 300ms);
    EXPECT_TRUE(slow.started && slow.killed && !slow.finished);

    // The program gets the standard handles and nothing else the host lets children
    // inherit.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE event = CreateEventA(&inheritable, TRUE, FALSE, nullptr);
    platform::ProcessResult probe = platform::runProcess(
        self + " probe-handle " + std::to_string(reinterpret_cast<uintptr_t>(event)), 20s);
    CloseHandle(event);
    EXPECT_TRUE(probe.finished);
    EXPECT_EQ(probe.exitCode, 0) << "the host's event was inherited";

    // At the bound the program and what it started end together.
    ScratchFolder scratch;
    const std::string pidFile = scratch.file("sleeper.pid");
    platform::ProcessResult tree = platform::runProcess(self + " start-sleeper " + pidFile, 3s);
    EXPECT_TRUE(tree.killed);
    const DWORD sleeperId = DWORD(std::stoul(readWhole(pidFile)));
    HANDLE sleeper = OpenProcess(SYNCHRONIZE, FALSE, sleeperId);
    if (sleeper) {
        EXPECT_EQ(WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0) << "the sleeper lives on";
        CloseHandle(sleeper);
    }

    // No shell reads the line: a redirection is an argument, not a file.
    platform::ProcessResult missing = platform::runProcess("kz-no-such-program.exe > out.txt", 5s);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.errorCode, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform::fileStatus("out.txt") == platform::FileStatus::Ok);
}

// A reader that does not share deletion keeps the old file: the replacement waits for it a
// moment, then fails whole and leaves no temporary behind; a reader that lets go within
// that moment is waited out.
TEST(Files, ReplacementIsWholeOrNotAtAllAndLeavesNoTemporary) {
    ScratchFolder scratch;
    std::string target = platform::joinPath(scratch.path(), "FILTER.TAB");
    EXPECT_EQ(target, scratch.path() + "\\FILTER.TAB");
    ASSERT_TRUE(platform::writeFileAtomic(target, "old"));
    auto open = [&](DWORD sharing) {
        return CreateFileA(target.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    };
    HANDLE reader = open(FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::writeFileAtomic(target, "new"));
    CloseHandle(reader);
    EXPECT_EQ(platform::readFile(target), "old");
    EXPECT_EQ(platform::listDirectory(scratch.path()), std::vector<std::string>{"FILTER.TAB"});

    reader = open(FILE_SHARE_READ);
    std::thread letGo([reader] {
        Sleep(150);
        CloseHandle(reader);
    });
    EXPECT_TRUE(platform::writeFileAtomic(target, "new\r\ntext"));
    letGo.join();
    EXPECT_EQ(platform::readTextFile(target), "new\ntext");

    std::string other = platform::joinPath(scratch.path(), "other");
    ASSERT_TRUE(platform::writeFileAtomic(other, "renamed"));
    EXPECT_TRUE(platform::renameFile(other, target));  // replaces the existing file
    EXPECT_EQ(platform::readFile(target), "renamed");
    EXPECT_EQ(platform::fileStatus(platform::joinPath(scratch.path(), "no\\such")),
              platform::FileStatus::NotFound);
    EXPECT_EQ(platform::fileSize(target).size, 7u);
}

// A reader that shares deletion, as on-access scanners do, keeps reading what it opened
// while the name gets the new content at once.
TEST(Files, AReaderThatSharesDeletionKeepsWhatItOpened) {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine renames with neither POSIX semantics nor over an open file";
    ScratchFolder scratch;
    const std::string target = scratch.file("QUEUED.MAI");
    ASSERT_TRUE(platform::writeFileAtomic(target, "queued"));
    HANDLE reader = CreateFileA(target.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(platform::writeFileAtomic(target, "rewritten"));
    char seen[16] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(reader, seen, sizeof seen, &n, nullptr));
    CloseHandle(reader);
    EXPECT_EQ(std::string(seen, n), "queued");
    EXPECT_EQ(platform::readFile(target), "rewritten");
}

// Paths past the classic 260-character limit, and names in no single code page, are
// UTF-8 on our side of every file function.
TEST(Files, LongPathsAndNamesOutsideTheCodePage) {
    ScratchFolder scratch;
    std::vector<std::string> folders = {scratch.path()};
    while (folders.back().size() < 300) {
        folders.push_back(folders.back() + "\\" + std::string(40, 'q'));
        ASSERT_TRUE(platform::createDirectory(folders.back())) << folders.back().size();
    }
    const std::string name =
        "Gr\xC3\xBC\xC3\x9F"
        "e-\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xBE.MAI";
    const std::string file = folders.back() + "\\" + name;
    ASSERT_TRUE(platform::writeFileAtomic(file, "text"));
    EXPECT_EQ(platform::readFile(file), "text");
    std::unique_ptr<std::istream> stream = platform::openInputStream(file);
    ASSERT_TRUE(stream);
    std::string line;
    EXPECT_TRUE(std::getline(*stream, line) && line == "text");
    stream.reset();
    EXPECT_FALSE(platform::openInputStream(file + ".missing"));
    EXPECT_TRUE(platform::isDirectory(folders.back()));
    EXPECT_EQ(platform::fileSize(file).size, 4u);
    EXPECT_EQ(platform::listDirectory(folders.back()), std::vector<std::string>{name});
    EXPECT_TRUE(platform::copyFile(file, file + ".copy"));
    EXPECT_TRUE(platform::appendFile(file + ".copy", "+"));
    EXPECT_EQ(platform::readFile(file + ".copy"), "text+");
    EXPECT_TRUE(platform::removeFile(file) && platform::removeFile(file + ".copy"));
    for (std::size_t i = folders.size() - 1; i > 0; --i)
        EXPECT_TRUE(
            RemoveDirectoryW((L"\\\\?\\" + std::filesystem::path(folders[i]).wstring()).c_str()));
}

// Expanded registry paths take the environment's values in UTF-8, whatever the code page.
TEST(Environment, ValuesOutsideTheCodePageAreUtf8) {
    const std::string value =
        "C:\\Gr\xC3\xBC\xC3\x9F"
        "e\\\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xBE";
    platform::setEnvironment("KZ_TEST_FOLDER", value);
    EXPECT_EQ(platform::getEnvironment("KZ_TEST_FOLDER"), value);
    EXPECT_EQ(platform::expandEnvironmentText("%KZ_TEST_FOLDER%\\Logs"), value + "\\Logs");
}

TEST(CodePages, SystemTablesAndOurOwnConvertAlike) {
    EXPECT_EQ(platform::toUtf8("caf\xE9 \x80", 1252), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(platform::toUtf8("\xC4", 28591), "\xC3\x84");        // ISO-8859-1
    EXPECT_EQ(platform::toUtf8("\x82\xA0", 932), "\xE3\x81\x82");  // Shift-JIS hiragana a
    EXPECT_EQ(platform::fromUtf8("\xE3\x81\x82", 932), "\x82\xA0");
    EXPECT_FALSE(platform::fromUtf8("\xE3\x81\x82", 1252));   // not in the code page
    EXPECT_FALSE(platform::fromUtf8("\xE2\x82\xAC", 28591));  // no best-fit stand-in
    EXPECT_FALSE(platform::toUtf8("\x82", 932));              // cut lead byte
    // HZ is GB2312 with the high bits cleared between "~{" and "~}".
    EXPECT_EQ(platform::toUtf8("~{<:Ky~}", 52936), platform::toUtf8("\xBC\xBA\xCB\xF9", 936));
    EXPECT_FALSE(platform::isCodePageSupported(4));
}

std::string hexOf(const platform::Sha256Mac& bytes) {
    std::string hex;
    for (uint8_t b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

// RFC 4231, test case 2: the seal is the same on every system; FIPS 180-2's "abc": the
// Bayesian store's message digests too.
TEST(Crypto, HmacSha256Sha256AndRandomBytes) {
    const std::string key = "Jefe";
    auto mac = platform::hmacSha256(reinterpret_cast<const uint8_t*>(key.data()), key.size(),
                                    "what do ya want for nothing?");
    ASSERT_TRUE(mac);
    EXPECT_EQ(hexOf(*mac), "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    auto digest = platform::sha256("abc");
    ASSERT_TRUE(digest);
    EXPECT_EQ(hexOf(*digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::array<uint8_t, 32> a{}, b{};
    EXPECT_TRUE(platform::randomBytes(a.data(), a.size()) &&
                platform::randomBytes(b.data(), b.size()));
    EXPECT_FALSE(platform::equalInConstantTime(a.data(), b.data(), a.size()));
}

// The system's resolver asked through DnsQueryEx (or, where that is missing, DnsQuery on
// threads) at the DNS server the test script starts: answers, missing names, one deadline.
TEST(DnsResolver, AddressesAndMissingNamesFromTheGivenServer) {
    const char* server = std::getenv("KZ_DNS_SERVER");
    ASSERT_TRUE(server && *server) << "KZ_DNS_SERVER (scripts/test-windows.sh starts dnsmasq)";
    using platform::DnsAnswer;
    platform::DnsResolver resolver(platform::parseDnsServerList(server).servers,
                                   std::chrono::milliseconds(1000));
    const auto answers =
        resolver.ask({{"9.113.0.203.bl.test"}, {"8.113.0.203.bl.test"}},
                     platform::DnsResolver::Clock::now() + std::chrono::seconds(5));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].status, DnsAnswer::Status::Records) << answers[0].error;
    EXPECT_EQ(answers[0].addresses, std::vector<uint32_t>{0x7F00000Au});
    EXPECT_EQ(answers[0].ttl, std::chrono::seconds(300));
    EXPECT_EQ(answers[1].status, DnsAnswer::Status::NoRecords) << answers[1].error;
    // Past its deadline a question is not waited for.
    const auto late = resolver.ask({{"9.113.0.203.bl.test"}}, platform::DnsResolver::Clock::now());
    EXPECT_TRUE(late[0].status == DnsAnswer::Status::Records || late[0].timedOut);
}

// Where DnsQueryEx is a stub (Wine's is) each question runs DnsQuery on a thread of its
// own: a zone whose server never answers (the test script's dnsmasq forwards silent.test
// to a port where nothing listens) costs no more than the deadline, and a server list
// that path cannot ask gets no answer at once, never the system's own servers.
TEST(DnsResolver, ASilentZoneCostsTheDeadlineAndTheFallbackAsksOnlyWhatItCan) {
    const char* server = std::getenv("KZ_DNS_SERVER");
    ASSERT_TRUE(server && *server) << "KZ_DNS_SERVER (scripts/test-windows.sh starts dnsmasq)";
    using platform::DnsAnswer;
    using platform::DnsResolver;
    DnsResolver resolver(platform::parseDnsServerList(server).servers, 1000ms);
    const auto start = DnsResolver::Clock::now();
    const auto answers =
        resolver.ask({{"5.2.0.192.silent.test"}, {"6.2.0.192.silent.test"}}, start + 500ms);
    const auto took = DnsResolver::Clock::now() - start;
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(answers[0].timedOut && answers[1].timedOut) << answers[0].error;
    EXPECT_LT(took, 2s);

    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    EXPECT_EQ(DnsResolver::method(), wine ? "DnsQuery" : "DnsQueryEx");
    if (DnsResolver::method() == "DnsQuery") {
        DnsResolver unreachable(platform::parseDnsServerList("[::1], 127.0.0.1:5353").servers,
                                1000ms);
        const auto none = unreachable.ask({{"5.2.0.192.bl.test"}}, start + 60s);
        EXPECT_EQ(none[0].status, DnsAnswer::Status::Failed);
        EXPECT_FALSE(none[0].timedOut);
        EXPECT_EQ(none[0].error, "no IPv4 server on port 53, which DnsQuery needs");
    }
}

}  // namespace
}  // namespace kz::test

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc == 3) return std::atoi(argv[2]);
    if (mode == "sleep") {
        Sleep(60000);
        return 0;
    }
    if (mode == "probe-handle" && argc == 3) {
        HANDLE handle = reinterpret_cast<HANDLE>(uintptr_t(std::stoull(argv[2])));
        DWORD flags = 0;
        return GetHandleInformation(handle, &flags) &&
               WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
    }
    if (mode == "start-sleeper" && argc == 3) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION sleeper{};
        std::string line = "\"" + kz::platform::executablePath() + "\" sleep";
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &sleeper))
            return 3;
        kz::test::writeWhole(argv[2], std::to_string(sleeper.dwProcessId));
        Sleep(60000);
        return 0;
    }
    if (mode == "hold-lock" && argc == 4) {
        kz::platform::NamedLock lock(argv[2]);
        if (!lock.lock(std::chrono::seconds(10))) return 2;
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (ready) SetEvent(ready);
        Sleep(INFINITE);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
