// kzmta web: the console in the browser, and kzmta web passwd, which sets its password.

#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "password_hash.h"
#include "platform/console.h"
#include "platform/crypto.h"
#include "platform/host_port.h"
#include "server.h"

namespace kz::tool {

namespace {

#ifdef _WIN32
constexpr const char* kStopHow = "Ctrl+C or Ctrl+Break";
#else
constexpr const char* kStopHow = "SIGINT or SIGTERM";
#endif

// "HOST:PORT", "HOST" (port 8025) or "[v6]:PORT"; port 0 takes any free port.
void parseListen(const std::string& listen, web::ServerSettings& settings) {
    std::string host, port;
    if (!platform::splitHostAndPort(listen, 8025, host, port) || host.empty())
        throw UsageError("--listen must be HOST:PORT, not " + listen);
    unsigned number = 0;
    auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || number > 65535)
        throw UsageError("--listen must be HOST:PORT, not " + listen);
    settings.host = host;
    settings.port = uint16_t(number);
}

// One line of standard input without its line end; null at the end of input.
std::optional<std::string> readLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string askPassword(const char* prompt) {
    std::fprintf(stderr, "%s", prompt);
    std::fflush(stderr);
    platform::setStdinEcho(false);
    auto line = readLine();
    platform::setStdinEcho(true);
    std::fprintf(stderr, "\n");
    if (!line) throw std::runtime_error("no password given");
    return *line;
}

// From a terminal: asked twice without echo. Otherwise the first line of standard input,
// so that scripts can set it: echo "$PASSWORD" | kzmta web passwd.
std::string newPassword() {
    std::string password;
    if (platform::stdinIsTerminal()) {
        password = askPassword("New console password: ");
        std::string again = askPassword("Once more: ");
        const bool same = again == password;
        platform::wipeSecret(again.data(), again.size());
        if (!same) throw std::runtime_error("the two passwords differ; nothing changed");
    } else {
        auto line = readLine();
        if (!line) throw std::runtime_error("no password on standard input; nothing changed");
        password = *line;
    }
    if (password.size() < 8)
        throw std::runtime_error("a console password needs 8 characters at least");
    if (password.size() > 1024)
        throw std::runtime_error("a console password has 1024 characters at most");
    return password;
}

int setPassword(const std::string& registry) {
    std::string password = newPassword();
    auto hash = web::HashPassword(password);
    platform::wipeSecret(password.data(), password.size());
    if (!hash) throw std::runtime_error("cannot hash the password (no random source)");
    std::string why;
    if (!web::StorePasswordHash(registry, *hash, &why))
        throw std::runtime_error("cannot write " + registry + ": " + why);
    std::printf("The console password is set.\n");
    return 0;
}

}  // namespace

void AddWebCommand(CommandLine& cli) {
    struct Options {
        std::string registry;
        std::string listen = "127.0.0.1:8025";
        std::string certificate;
        std::string key;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = cli.add(
        cli.root(), "web",
        std::string("serve the console in the browser: overview, report log, quarantine, "
                    "filters and health, and its JSON API under /api/ (until ") +
            kStopHow + ")",
        [o] {
            if (o->certificate.empty() != o->key.empty())
                throw UsageError("--cert and --key go together");
            web::ServerSettings settings;
            settings.registry = o->registry;
            parseListen(o->listen, settings);
            RequireRegistryFile(o->registry);
            if (!web::StoredPasswordHash(o->registry))
                std::fprintf(stderr, "No console password is set yet: run kzmta web passwd.\n");
            settings.certificate = o->certificate;
            settings.privateKey = o->key;
            return web::RunConsoleServer(settings);
        });
    AddRegistryOption(command, o->registry);
    command
        .add_option("--listen", o->listen,
                    "address and port to serve on (default 127.0.0.1:8025; port 0 takes a "
                    "free one)")
        ->type_name("HOST:PORT");
    command.add_option("--cert", o->certificate, "serve HTTPS with this PEM certificate (chain)")
        ->type_name("FILE")
        ->check(CLI::ExistingFile.description(""));
    command.add_option("--key", o->key, "the PEM private key of --cert")
        ->type_name("FILE")
        ->check(CLI::ExistingFile.description(""));
    cli.add(command, "passwd",
            "set the console's password: asked twice on a terminal, else the first line of "
            "standard input; kept as a salted PBKDF2 hash in the registry",
            [o] { return setPassword(o->registry); });
}

}  // namespace kz::tool
