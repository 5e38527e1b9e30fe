#pragma once
// kzmta web: the console in the browser. An HTTP server (cpp-httplib: maintained, packaged
// by Debian, header-only for mingw; TLS through OpenSSL on every system) on
// loopback by default, serving the console's page, its scripts and the chart library from
// the program itself, and the JSON API under /api/ that the page and scripts read.
//
// Every /api/ path but /api/login answers 401 without a live session; every POST but the
// login answers 403 without the session's X-CSRF-Token. The session cookie is HttpOnly,
// SameSite=Strict and, under TLS, Secure; every answer carries a strict
// Content-Security-Policy (scripts and styles from the console itself only).

#include <cstdint>
#include <string>

namespace kz::tool::web {

struct ServerSettings {
    std::string registry;
    std::string host = "127.0.0.1";
    uint16_t port = 8025;
    std::string certificate;  // both or neither: TLS
    std::string privateKey;
};

// Serves until SIGINT or SIGTERM; returns the exit status. Prints the address it serves
// once it listens (tests and scripts wait for that line).
int RunConsoleServer(const ServerSettings& settings);

}  // namespace kz::tool::web
