// KZFLTMBF: the Bayesian classifier. The execute entry answers a queued message
// ("<FILENAME>path</FILENAME>...") with "<SP>score</SP>", the spam probability in
// percent, and takes the commands "LEARN SPAM|HAM path", "FORGET SPAM|HAM path" (up to
// 500 paths, a line each, in one transaction; a <RESULT> for each of up to 25, then the
// numbers changed and unchanged) and "STATS". A
// malformed command, or one that fails, answers "<ERROR>why</ERROR>", returns 0 and
// changes nothing. Until spam and ham have both been learned a message has no score (0).
// The store's settings under the "Bayesian" key of the agent's key (store_settings.h)
// are read when the library is initialised or, uninitialised, at its first call. A store
// that cannot be reached leaves the message unscored, with one event a minute at most.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/format.h"
#include "bayes_request.h"
#include "message_tokens.h"
#include "platform/files.h"
#include "provider_support/event_throttle.h"
#include "provider_support/reply_buffer.h"
#include "provider_support/request_entries.h"
#include "spam_score.h"
#include "store_pool.h"
#include "store_settings.h"

namespace {

using namespace kz::bayes;

std::mutex gSettingsMutex;
std::optional<StoreSettings> gSettings;
kz::providers::EventThrottle gUnreachable;

void initialise() {
    StoreSettings settings = ReadStoreSettings();
    std::lock_guard lock(gSettingsMutex);
    gSettings = std::move(settings);
}

StoreSettings storeSettings() {
    std::lock_guard lock(gSettingsMutex);
    if (!gSettings) gSettings = ReadStoreSettings();
    return *gSettings;
}

struct Answer {
    int result;
    std::string text;
};

Answer failure(const std::string& why) {
    return {0, "<ERROR>" + why + "</ERROR>"};
}

std::string readMessage(const std::string& path) {
    auto text = kz::platform::readFile(kz::platform::resolvePath(path));
    if (!text) throw StoreError("cannot read " + path);
    return std::move(*text);
}

Answer score(const StoreSettings& settings, const std::string& path) {
    const std::string message = readMessage(path);
    const std::vector<std::string> tokens = MessageTokens(message);
    std::vector<TokenCounts> counts;
    LearnedTotals totals;
    bool kept = false;
    try {
        StoreLease store(settings);
        kept = store.kept();
        totals = store->counts(tokens, counts);
    } catch (const StoreUnavailable&) {
        // A kept connection may have been closed by a server that restarted: a new one
        // tells whether the server is there now.
        if (!kept) throw;
        StoreLease store(settings, StoreLease::New);
        totals = store->counts(tokens, counts);
    }
    if (totals.spam == 0 || totals.ham == 0) return failure("spam and ham must both be learned");
    return {1, kz::formatText("<SP>%.2f</SP>", SpamProbability(counts, totals) * 100.0)};
}

// All the files in one transaction; when one cannot be read nothing is learned.
Answer learnOrForget(const StoreSettings& settings, const BayesRequest& request) {
    std::vector<Lesson> lessons;
    for (const std::string& path : request.paths) {
        const std::string message = readMessage(path);
        lessons.push_back({MessageTokens(message), MessageDigest(message)});
    }
    StoreLease store(settings);
    const bool learn = request.kind == RequestKind::Learn;
    const std::vector<bool> changed =
        learn ? store->learn(request.category, lessons) : store->forget(request.category, lessons);
    // A result for each file while they fit in the reply; the counts always.
    std::string reply;
    const auto count = std::count(changed.begin(), changed.end(), true);
    for (const bool change : changed) {
        if (changed.size() > kMaxFilesListed) break;
        reply += learn ? (change ? "<RESULT>LEARNED</RESULT>" : "<RESULT>ALREADY LEARNED</RESULT>")
                       : (change ? "<RESULT>FORGOTTEN</RESULT>" : "<RESULT>NOT LEARNED</RESULT>");
    }
    reply += "<CHANGED>" + std::to_string(count) + "</CHANGED><UNCHANGED>" +
             std::to_string(changed.size() - std::size_t(count)) + "</UNCHANGED>";
    return {1, reply};
}

Answer stats(const StoreSettings& settings) {
    StoreLease store(settings);
    const StoreStats stats = store->stats();
    return {1, "<SPAM>" + std::to_string(stats.messages.spam) + "</SPAM><HAM>" +
                   std::to_string(stats.messages.ham) + "</HAM><TOKENS>" +
                   std::to_string(stats.tokens) + "</TOKENS>"};
}

Answer answer(std::string_view text) {
    const BayesRequest request = ParseRequest(text);
    if (request.kind == RequestKind::Malformed) return failure(request.error);
    try {
        const StoreSettings settings = storeSettings();
        switch (request.kind) {
            case RequestKind::Score:
                return score(settings, request.path);
            case RequestKind::Stats:
                return stats(settings);
            default:
                return learnOrForget(settings, request);
        }
    } catch (const StoreUnavailable& e) {
        gUnreachable.report(std::string("Bayesian filter: ") + e.what());
        return failure(e.what());
    } catch (const StoreError& e) {
        return failure(e.what());
    }
}

int execute(const char* request, int32_t length, char* reply, int32_t* replyLength) {
    if (reply) reply[0] = '\0';
    // The text ends at its length or at a NUL before it.
    const std::size_t size = request && length > 0 ? strnlen(request, std::size_t(length)) : 0;
    const Answer answered = answer(std::string_view(request ? request : "", size));
    kz::providers::AnswerRequest(reply, replyLength, answered.text);
    return answered.result;
}

}  // namespace

KZ_REQUEST_ENTRIES_WITH(initialise, execute, kz::bayes::CloseIdleStores)
