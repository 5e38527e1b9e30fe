#pragma once
// What the API's read and write paths answer, apart from HTTP: a status and a JSON text,
// or a status and an error text for {"error": ...}.

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/registry.h"
#include "request.h"

namespace kz::tool::web {

struct ViewAnswer {
    int status = 200;
    std::string json;   // when status is 200
    std::string error;  // otherwise
};

inline ViewAnswer Failed(int status, std::string error) {
    return {status, {}, std::move(error)};
}

// Message data reaches JSON in any encoding: invalid UTF-8 is replaced, never refused.
inline std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The agent's process-wide state (tables loaded through an AgentSession, a release that
// checks a message as the agent would) serves one request at a time.
std::mutex& AgentStateLock();

std::string LogDirectory(const std::string& registry);

// The filter table in order, each with its hits and the hour of its last hit over every
// day the statistics index has counted, and the problems check-config finds.
ViewAnswer FiltersView(const std::string& registry);
// Providers enabled and reachable, the queue backlog, the last message a filter acted on.
ViewAnswer HealthView(const std::string& registry);
// Each provider the configuration can enable, and for those it does, whether the server
// it talks to (daemon, Redis, DNS server) answers now.
nlohmann::json ProviderHealth(const platform::Registry& registry);

// Built on the console's quarantine and statistics library.
ViewAnswer StatsView(const std::string& registry, const StatsRange& range);
ViewAnswer QuarantineView(const std::string& registry);
ViewAnswer HeldMessageView(const std::string& registry, const std::string& id);
ViewAnswer ReleaseHeld(const std::string& registry, const std::string& id, const std::string& who);
ViewAnswer DeleteHeld(const std::string& registry, const std::string& id, const std::string& who);

}  // namespace kz::tool::web
