#include "api.h"

#include <httplib.h>

#include "password_hash.h"
#include "report_search.h"
#include "request.h"
#include "views.h"

namespace kz::tool::web {

namespace {

constexpr const char* kJson = "application/json";

void answer(httplib::Response& res, int status, const std::string& json) {
    res.status = status;
    res.set_content(json, kJson);
}

void error(httplib::Response& res, int status, const std::string& what) {
    answer(res, status, JsonText({{"error", what}}));
}

void answer(httplib::Response& res, const ViewAnswer& view) {
    if (view.status == 200)
        answer(res, 200, view.json);
    else
        error(res, view.status, view.error);
}

std::string sessionId(const httplib::Request& req) {
    return CookieValue(req.get_header_value("Cookie"), kSessionCookie);
}

}  // namespace

std::string ConsoleApi::sessionCookie(const std::string& id, bool expire) const {
    std::string cookie =
        std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict";
    if (tls_) cookie += "; Secure";
    if (expire) cookie += "; Max-Age=0";
    return cookie;
}

bool ConsoleApi::admit(const httplib::Request& req, httplib::Response& res) {
    if (!req.path.starts_with("/api/") || req.path == "/api/login") return true;
    auto session = sessions_.find(sessionId(req), Clock::now());
    if (!session) {
        error(res, 401, "log in first");
        return false;
    }
    if (req.method != "GET" && !SameToken(req.get_header_value("X-CSRF-Token"), session->csrf)) {
        error(res, 403, "missing or wrong X-CSRF-Token");
        return false;
    }
    return true;
}

void ConsoleApi::login(const httplib::Request& req, httplib::Response& res) {
    const Clock::time_point now = Clock::now();
    if (auto wait = throttle_.waitFor(req.remote_addr, now)) {
        res.set_header("Retry-After", std::to_string(wait->count()));
        error(res, 429,
              "too many failed logins; try again in " + std::to_string(wait->count()) + " s");
        return;
    }
    auto password = LoginPassword(req.body);
    if (!password) {
        error(res, 400, "expected {\"password\": \"...\"}");
        return;
    }
    auto stored = StoredPasswordHash(registry_);
    if (!stored) {
        error(res, 403, "no console password is set: run kzmta web passwd");
        return;
    }
    if (!VerifyPassword(*password, *stored)) {
        throttle_.failed(req.remote_addr, now);
        error(res, 401, "wrong password");
        return;
    }
    throttle_.succeeded(req.remote_addr);
    // A new session id at every login: an id planted before it is worth nothing.
    sessions_.remove(sessionId(req));
    auto session = sessions_.create(now);
    if (!session) {
        error(res, 500, "no random source");
        return;
    }
    res.set_header("Set-Cookie", sessionCookie(session->id, false));
    answer(res, 200, "{\"csrf\":\"" + session->csrf + "\"}");
}

void ConsoleApi::logout(const httplib::Request& req, httplib::Response& res) {
    sessions_.remove(sessionId(req));
    res.set_header("Set-Cookie", sessionCookie("", true));
    answer(res, 200, "{}");
}

void ConsoleApi::route(httplib::Server& server) {
    using Req = const httplib::Request&;
    using Res = httplib::Response&;
    server.Post("/api/login", [this](Req req, Res res) { login(req, res); });
    server.Post("/api/logout", [this](Req req, Res res) { logout(req, res); });
    // A page loaded again finds its session's token here.
    server.Get("/api/session", [this](Req req, Res res) {
        auto session = sessions_.find(sessionId(req), Clock::now());
        answer(res, 200, "{\"csrf\":\"" + (session ? session->csrf : std::string()) + "\"}");
    });
    server.Get("/api/log", [this](Req req, Res res) {
        std::string why;
        auto query = ParseLogQuery(req.params, &why);
        if (!query) return error(res, 400, why);
        answer(res, 200, ToJson(SearchReportLog(LogDirectory(registry_), *query)));
    });
    server.Get("/api/stats", [this](Req req, Res res) {
        std::string why;
        auto range = ParseStatsRange(req.params, &why);
        if (!range) return error(res, 400, why);
        answer(res, StatsView(registry_, *range));
    });
    server.Get("/api/filters", [this](Req, Res res) { answer(res, FiltersView(registry_)); });
    server.Get("/api/health", [this](Req, Res res) { answer(res, HealthView(registry_)); });
    server.Get("/api/quarantine", [this](Req, Res res) { answer(res, QuarantineView(registry_)); });
    server.Get("/api/quarantine/([^/]+)", [this](Req req, Res res) {
        answer(res, HeldMessageView(registry_, req.matches[1].str()));
    });
    server.Post("/api/quarantine/([^/]+)/(release|delete)", [this](Req req, Res res) {
        const std::string who = "kzmta web (" + req.remote_addr + ")";
        answer(res, req.matches[2].str() == "release"
                        ? ReleaseHeld(registry_, req.matches[1].str(), who)
                        : DeleteHeld(registry_, req.matches[1].str(), who));
    });
}

}  // namespace kz::tool::web
