// KZFLTMBF: the Bayesian classifier. The execute entry answers a queued message
// ("<FILENAME>path</FILENAME>...") with "<SP>score</SP>", the spam probability in
// percent, and takes the commands "LEARN SPAM|HAM path", "FORGET SPAM|HAM path" and
// "STATS". A malformed command, or one that fails, answers "<ERROR>why</ERROR>", returns
// 0 and changes nothing. Until spam and ham have both been learned a message has no
// score (0). Settings: "Database" (the SQLite file of the learned tokens, by default
// "Bayes.db" in the Application Directory) under the "Bayesian" key of the agent's key.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/format.h"
#include "bayes_request.h"
#include "message_tokens.h"
#include "platform/exports.h"
#include "platform/files.h"
#include "provider_support/machine_registry.h"
#include "provider_support/provider_key.h"
#include "provider_support/reply_buffer.h"
#include "spam_score.h"
#include "store_pool.h"

namespace {

using namespace kz::bayes;

constexpr std::string_view kProductKey = "SOFTWARE\\Kaztrel\\Kaztrel";

// "Bayes.db" in the Application Directory, read now as the agent reads it.
std::string defaultDatabase() {
    auto found = kz::providers::MachineRegistry()->query(kProductKey, "Application Directory");
    const std::string directory = found ? found->asString() : std::string();
    return kz::platform::joinPath(kz::platform::toNativeSeparators(directory), "Bayes.db");
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

Answer score(const std::string& database, const std::string& path) {
    const std::string message = readMessage(path);
    std::vector<TokenCounts> counts;
    StoreLease store(database);
    const LearnedTotals totals = store->counts(MessageTokens(message), counts);
    if (totals.spam == 0 || totals.ham == 0) return failure("spam and ham must both be learned");
    return {1, kz::formatText("<SP>%.2f</SP>", SpamProbability(counts, totals) * 100.0)};
}

Answer learnOrForget(const std::string& database, const BayesRequest& request) {
    const std::string message = readMessage(request.path);
    const std::vector<std::string> tokens = MessageTokens(message);
    const std::string digest = MessageDigest(message);
    StoreLease store(database);
    if (request.kind == RequestKind::Learn) {
        const bool changed = store->learn(request.category, tokens, digest);
        return {1, changed ? "<RESULT>LEARNED</RESULT>" : "<RESULT>ALREADY LEARNED</RESULT>"};
    }
    const bool changed = store->forget(request.category, tokens, digest);
    return {1, changed ? "<RESULT>FORGOTTEN</RESULT>" : "<RESULT>NOT LEARNED</RESULT>"};
}

Answer stats(const std::string& database) {
    StoreLease store(database);
    const StoreStats stats = store->stats();
    return {1, "<SPAM>" + std::to_string(stats.messages.spam) + "</SPAM><HAM>" +
                   std::to_string(stats.messages.ham) + "</HAM><TOKENS>" +
                   std::to_string(stats.tokens) + "</TOKENS>"};
}

Answer execute(std::string_view text) {
    const BayesRequest request = ParseRequest(text);
    if (request.kind == RequestKind::Malformed) return failure(request.error);
    const std::string database =
        kz::providers::ProviderKey("Bayesian").text("Database", defaultDatabase());
    try {
        switch (request.kind) {
            case RequestKind::Score:
                return score(database, request.path);
            case RequestKind::Stats:
                return stats(database);
            default:
                return learnOrForget(database, request);
        }
    } catch (const StoreError& e) {
        return failure(e.what());
    }
}

}  // namespace

// Nothing may be thrown across these entries: a failure is a 0 result.

KZ_EXPORT int KZ_STDCALL KZ_Initialize(const char*, int32_t, char* reply, int32_t*) {
    if (reply) reply[0] = '\0';
    return 1;
}

KZ_EXPORT int KZ_STDCALL KZ_Execute(const char* request, int32_t length, char* reply,
                                    int32_t* replyLength) {
    Answer answer{0, {}};
    try {
        // The text ends at its length or at a NUL before it.
        const std::size_t size = request && length > 0 ? strnlen(request, std::size_t(length)) : 0;
        answer = execute(std::string_view(request ? request : "", size));
    } catch (...) {
        answer = failure("internal error");
    }
    const std::size_t written =
        kz::providers::fillBuffer(reply, kz::providers::ReplyCapacity(replyLength), answer.text);
    if (replyLength) *replyLength = int32_t(written);
    return answer.result;
}

KZ_EXPORT int KZ_STDCALL KZ_CleanUp(const char*, int32_t, char* reply, int32_t*) {
    if (reply) reply[0] = '\0';
    CloseIdleStores();
    return 1;
}
