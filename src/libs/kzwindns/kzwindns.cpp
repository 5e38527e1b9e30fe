// KZWINDNS: the DNS blacklist library the agent asks about the hosts of links.
//
//   SetLoggingFunction(file name, callback, stream, lock)  the agent's log hook-up
//   DNSInitialize(server list)                              servers and zones, at start
//   HasORBDBEntry(host, address, response, list)            1 when a zone lists the host
//
// The zones and the timeout are read from the registry key of blacklist_settings.h at
// DNSInitialize; a second DNSInitialize starts afresh with a new configuration.

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "blacklist_lookup.h"
#include "blacklist_settings.h"
#include "library_log.h"
#include "platform/exports.h"
#include "provider_support/reply_buffer.h"
#include "provider_support/server_list.h"

namespace {

using kz::windns::BlacklistLookup;

// The agent hands over buffers of this size for the response and the list name.
constexpr std::size_t kAnswerBufferSize = 256;

std::mutex gLookupMutex;
std::shared_ptr<BlacklistLookup> gLookup;

std::shared_ptr<BlacklistLookup> currentLookup() {
    std::lock_guard hold(gLookupMutex);
    return gLookup;
}

void copyOut(char* buffer, const std::string& text) {
    kz::providers::fillBuffer(buffer, kAnswerBufferSize, text);
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string zoneNames(const kz::windns::ZoneList& list) {
    std::vector<std::string> names;
    for (const kz::windns::Zone& zone : list.zones) names.push_back(zone.name);
    return names.empty() ? "none" : joined(names);
}

int initialize(const char* serverText) {
    using namespace kz::windns;
    kz::providers::ServerList servers =
        kz::providers::ParseServerList(serverText ? serverText : "");
    if (!servers.rejected.empty())
        LogLine(kLogProblem,
                "ignored DNS servers that are not addresses: " + joined(servers.rejected));
    const std::string serverNote = servers.servers.empty()
                                       ? std::string("the system's resolver")
                                       : std::to_string(servers.servers.size()) + " server(s)";
    BlacklistSettings settings = ReadBlacklistSettings();
    for (const ZoneList* list : {&settings.domainZones, &settings.addressZones}) {
        if (!list->rejected.empty())
            LogLine(kLogProblem, "ignored zones that are not DNS names: " + joined(list->rejected));
    }
    LogLine(kLogSetup, "domain zones " + zoneNames(settings.domainZones) + "; address zones " +
                           zoneNames(settings.addressZones) + "; " + serverNote + "; timeout " +
                           std::to_string(settings.timeout.count()) + " ms");
    auto lookup =
        std::make_shared<BlacklistLookup>(std::move(settings), std::move(servers.servers));
    const bool usable = lookup->usable();
    if (!usable) LogLine(kLogProblem, "no resolver could be set up; no host will be listed");
    std::lock_guard hold(gLookupMutex);
    gLookup = usable ? std::move(lookup) : nullptr;
    return usable ? 1 : 0;
}

int isListed(const char* host, const char* address, char* response, char* listName) {
    copyOut(response, {});
    copyOut(listName, {});
    std::shared_ptr<BlacklistLookup> lookup = currentLookup();
    if (!lookup) return 0;
    kz::windns::Listing listing;
    if (!lookup->isListed(host ? host : "", address ? address : "", listing)) return 0;
    copyOut(response, listing.answer);
    copyOut(listName, listing.zone);
    return 1;
}

}  // namespace

KZ_EXPORT int KZ_STDCALL SetLoggingFunction(char* /*logFileName*/, kz::windns::LogCallback callback,
                                            void* /*logStream*/, void* /*logLock*/) {
    // The callback writes into the agent's file under its lock, so the file name, the
    // stream and the lock are not needed here.
    kz::windns::SetLogCallback(callback);
    return 1;
}

KZ_EXPORT int KZ_STDCALL DNSInitialize(const char* serverList) {
    try {
        return initialize(serverList);
    } catch (const std::exception& error) {
        kz::windns::LogLine(kz::windns::kLogProblem, std::string("start failed: ") + error.what());
        return 0;
    }
}

KZ_EXPORT int KZ_STDCALL HasORBDBEntry(const char* host, const char* address, char* response,
                                       char* listName) {
    // A failed lookup must not take the message's scan down with it: it counts as not
    // listed.
    try {
        return isListed(host, address, response, listName);
    } catch (const std::exception& error) {
        kz::windns::LogLine(kz::windns::kLogProblem, std::string("lookup failed: ") + error.what());
        return 0;
    }
}
