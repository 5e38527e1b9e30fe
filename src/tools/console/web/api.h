#pragma once
// The console's JSON API under /api/ and the gate in front of it: sessions, CSRF tokens
// and the login throttle. The server's threads share one ConsoleApi; its parts lock
// themselves.

#include <string>

#include "login_throttle.h"
#include "sessions.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace kz::tool::web {

constexpr const char* kSessionCookie = "kzsession";

class ConsoleApi {
  public:
    ConsoleApi(std::string registry, bool tls) : registry_(std::move(registry)), tls_(tls) {}

    // Before routing: true lets the request through; false means `res` already holds
    // the refusal (401 without a session, 403 without the session's CSRF token).
    bool admit(const httplib::Request& req, httplib::Response& res);
    void route(httplib::Server& server);

  private:
    void login(const httplib::Request& req, httplib::Response& res);
    void logout(const httplib::Request& req, httplib::Response& res);
    std::string sessionCookie(const std::string& id, bool expire) const;

    std::string registry_;
    bool tls_;
    SessionStore sessions_;
    LoginThrottle throttle_;
};

}  // namespace kz::tool::web
