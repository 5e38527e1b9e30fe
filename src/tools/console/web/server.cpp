#include "server.h"

#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "api.h"
#include "assets.h"
#include "platform/dir_watch.h"

namespace kz::tool::web {

namespace {

// Scripts, styles and data only from the console itself: message text shown by the page
// can never run as script, load anything or leave the page.
constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'";

httplib::Headers securityHeaders(bool tls) {
    httplib::Headers headers{{"Content-Security-Policy", kContentSecurityPolicy},
                             {"X-Content-Type-Options", "nosniff"},
                             {"X-Frame-Options", "DENY"},
                             {"Referrer-Policy", "no-referrer"},
                             {"Cross-Origin-Opener-Policy", "same-origin"},
                             {"Cache-Control", "no-store"}};
    if (tls) headers.emplace("Strict-Transport-Security", "max-age=31536000");
    return headers;
}

void serveAssets(httplib::Server& server) {
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        const Asset* page = FindAsset("/index.html");
        res.set_content(std::string(page->data), page->contentType);
    });
    server.Get("/assets/([a-z0-9.]+)", [](const httplib::Request& req, httplib::Response& res) {
        const Asset* asset = FindAsset("/" + req.matches[1].str());
        if (!asset) {
            res.status = 404;
            return;
        }
        res.set_content(std::string(asset->data), asset->contentType);
    });
}

std::unique_ptr<httplib::Server> makeServer(const ServerSettings& settings) {
    if (settings.certificate.empty()) return std::make_unique<httplib::Server>();
    auto server = std::make_unique<httplib::SSLServer>(settings.certificate.c_str(),
                                                       settings.privateKey.c_str());
    if (!server->is_valid())
        throw std::runtime_error("cannot use the certificate " + settings.certificate +
                                 " with the key " + settings.privateKey);
    return server;
}

}  // namespace

int RunConsoleServer(const ServerSettings& settings) {
    const bool tls = !settings.certificate.empty();
    std::unique_ptr<httplib::Server> server = makeServer(settings);
    ConsoleApi api(settings.registry, tls);

    server->set_default_headers(securityHeaders(tls));
    // Requests are small: a login body, ids in paths. Anything larger is refused unread.
    server->set_payload_max_length(64 * 1024);
    server->set_read_timeout(10);
    server->set_write_timeout(10);
    server->set_keep_alive_timeout(5);
    server->set_pre_routing_handler([&api](const httplib::Request& req, httplib::Response& res) {
        return api.admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                                   : httplib::Server::HandlerResponse::Handled;
    });
    server->set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content("{\"error\":\"internal error\"}", "application/json");
        });
    serveAssets(*server);
    api.route(*server);

    // Port 0 takes any free port, which the line below names.
    int port = settings.port;
    if (port == 0) port = server->bind_to_any_port(settings.host);
    if (port <= 0 || (settings.port != 0 && !server->bind_to_port(settings.host, port)))
        throw std::runtime_error("cannot listen on " + settings.host + ":" +
                                 std::to_string(settings.port));
    platform::installStopSignals();
    std::atomic<bool> failed = false;
    std::thread listener([&] { failed = !server->listen_after_bind(); });
    std::printf("Serving the console on %s://%s:%u/\n", tls ? "https" : "http",
                settings.host.c_str(), unsigned(port));
    std::fflush(stdout);
    while (!platform::stopRequested() && !failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server->stop();
    listener.join();
    return failed ? 1 : 0;
}

}  // namespace kz::tool::web
