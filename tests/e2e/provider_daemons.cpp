#include "provider_daemons.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/stream_socket.h"

extern char** environ;

namespace kz::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool Accepts(const std::string& address) {
    std::string why;
    return platform::StreamConnection::connect(address, 0, std::chrono::seconds(1), why) != nullptr;
}

bool Daemon::start(const std::vector<std::string>& argv, const std::string& logFile,
                   const std::string& address, int seconds) {
    log_ = logFile;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(address)) return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

void Daemon::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool Spamd::start() {
    // spamd reads its configuration as "nobody" when started as root.
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directories(dir.file("site"));
    fs::create_directories(dir.file("home"));
    for (const auto& entry : fs::directory_iterator("/etc/spamassassin"))
        if (entry.path().extension() == ".pre")
            fs::copy_file(entry.path(), dir.file("site/" + entry.path().filename().string()));
    writeFile(dir.file("site/local.cf"), "dns_available no\nuse_bayes 0\n");
    fs::permissions(dir.file("home"), fs::perms::all);
    address = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    std::vector<std::string> argv = {"spamd",
                                     "--local",
                                     "--nouser-config",
                                     "--helper-home-dir=" + dir.file("home"),
                                     "--siteconfigpath=" + dir.file("site"),
                                     "--listen=" + address,
                                     "--max-children=2",
                                     "--syslog=stderr"};
    if (::geteuid() == 0) argv.insert(argv.begin() + 1, {"-u", "nobody"});
    return daemon.start(argv, dir.file("spamd.log"), address, 60);
}

bool Clamd::start() {
    fs::create_directories(dir.file("db"));
    // The test file's MD5 signature as sigtool writes it, under a name of our own.
    RunOutput md5 = run({"/usr/bin/sigtool", "--md5", fixture("providers/daemons/eicar.com")});
    if (md5.status != 0) return false;
    std::string hash = md5.out.substr(0, md5.out.find(':'));
    std::string size = md5.out.substr(hash.size() + 1);
    size = size.substr(0, size.find(':'));
    writeFile(dir.file("db/test.hdb"), hash + ":" + size + ":Kz.Test.Eicar\n");
    writeFile(dir.file("db/test.ndb"), "Kz.Test.Marker:0:*:4b5a2d544553542d4d41524b4552\n");
    writeFile(dir.file("clamd.conf"), "DatabaseDirectory " + dir.file("db") + "\nLocalSocket " +
                                          socket + "\nForeground yes\nLogFile " +
                                          dir.file("clamd.log") + "\nStreamMaxLength 1M\n");
    return daemon.start({"clamd", "-c", dir.file("clamd.conf")}, dir.file("clamd.out"), socket, 30);
}

}  // namespace kz::test
