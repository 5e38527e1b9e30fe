#include "provider_daemons.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/stream_socket.h"

namespace kz::test {

namespace fs = std::filesystem;

namespace {

// True when a connection to the address ("host:port" or a socket path) succeeds.
std::function<bool()> Accepts(const std::string& address) {
    return [address] {
        std::string why;
        return platform::StreamConnection::connect(address, 0, std::chrono::seconds(1), why) !=
               nullptr;
    };
}

}  // namespace

bool Spamd::start() {
    // spamd reads its configuration as "nobody" when started as root.
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directories(dir.file("site"));
    fs::create_directories(dir.file("home"));
    for (const auto& entry : fs::directory_iterator("/etc/spamassassin"))
        if (entry.path().extension() == ".pre")
            fs::copy_file(entry.path(), dir.file("site/" + entry.path().filename().string()));
    fs::copy_file(fixture("providers/daemons/spamd/local.cf"), dir.file("site/local.cf"));
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
    return daemon.start(argv, dir.file("spamd.log"), Accepts(address), 60);
}

bool Clamd::start() {
    writeFile(dir.file("clamd.conf"), "DatabaseDirectory " + fixture("providers/daemons/clamd") +
                                          "\nLocalSocket " + socket + "\nForeground yes\nLogFile " +
                                          dir.file("clamd.log") + "\nStreamMaxLength 1M\n");
    return daemon.start({"clamd", "-c", dir.file("clamd.conf")}, dir.file("clamd.out"),
                        Accepts(socket), 30);
}

}  // namespace kz::test
