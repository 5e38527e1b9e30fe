// KZFLTMBF: the Bayesian classifier. The execute entry answers a queued message
// ("<FILENAME>path</FILENAME>...") with "<SP>score</SP>", the spam probability in
// percent, and takes the commands "LEARN SPAM|HAM path", "FORGET SPAM|HAM path" (up to
// 25 paths, a line each, in one transaction; a <RESULT> for each) and "STATS". A
// malformed command, or one that fails, answers "<ERROR>why</ERROR>", returns 0 and
// changes nothing. Until spam and ham have both been learned a message has no score (0).
// Settings: "Database" (the SQLite file of the learned tokens, by default "Bayes.db" in
// the Application Directory, in an installed build's state folder) under the "Bayesian"
// key of the agent's key, read when the library is initialised or, uninitialised, at its
// first call.

#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/default_paths.h"
#include "base/format.h"
#include "bayes_request.h"
#include "message_tokens.h"
#include "platform/files.h"
#include "provider_support/machine_registry.h"
#include "provider_support/provider_key.h"
#include "provider_support/reply_buffer.h"
#include "provider_support/request_entries.h"
#include "spam_score.h"
#include "store_pool.h"

namespace {

using namespace kz::bayes;

constexpr std::string_view kProductKey = "SOFTWARE\\Kaztrel\\Kaztrel";

// "Bayes.db" in the installation's state folder, or without one in the Application
// Directory, read now as the agent reads it.
std::string defaultDatabase() {
    if (*kz::kDefaultStateDirectory != '\0')
        return kz::platform::joinPath(kz::kDefaultStateDirectory, "Bayes.db");
    auto found = kz::providers::MachineRegistry()->query(kProductKey, "Application Directory");
    const std::string directory = found ? found->asString() : std::string();
    return kz::platform::joinPath(kz::platform::toNativeSeparators(directory), "Bayes.db");
}

std::mutex gSettingsMutex;
std::optional<std::string> gDatabase;

std::string readDatabaseSetting() {
    const std::string database = kz::providers::ProviderKey("Bayesian").text("Database", "");
    return database.empty() ? defaultDatabase() : database;
}

void initialise() {
    std::string database = readDatabaseSetting();
    std::lock_guard lock(gSettingsMutex);
    gDatabase = std::move(database);
}

std::string databasePath() {
    std::lock_guard lock(gSettingsMutex);
    if (!gDatabase) gDatabase = readDatabaseSetting();
    return *gDatabase;
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

// All the files in one transaction; when one cannot be read nothing is learned.
Answer learnOrForget(const std::string& database, const BayesRequest& request) {
    std::vector<Lesson> lessons;
    for (const std::string& path : request.paths) {
        const std::string message = readMessage(path);
        lessons.push_back({MessageTokens(message), MessageDigest(message)});
    }
    StoreLease store(database);
    const bool learn = request.kind == RequestKind::Learn;
    const std::vector<bool> changed =
        learn ? store->learn(request.category, lessons) : store->forget(request.category, lessons);
    std::string reply;
    for (const bool change : changed) {
        reply += learn ? (change ? "<RESULT>LEARNED</RESULT>" : "<RESULT>ALREADY LEARNED</RESULT>")
                       : (change ? "<RESULT>FORGOTTEN</RESULT>" : "<RESULT>NOT LEARNED</RESULT>");
    }
    return {1, reply};
}

Answer stats(const std::string& database) {
    StoreLease store(database);
    const StoreStats stats = store->stats();
    return {1, "<SPAM>" + std::to_string(stats.messages.spam) + "</SPAM><HAM>" +
                   std::to_string(stats.messages.ham) + "</HAM><TOKENS>" +
                   std::to_string(stats.tokens) + "</TOKENS>"};
}

Answer answer(std::string_view text) {
    const BayesRequest request = ParseRequest(text);
    if (request.kind == RequestKind::Malformed) return failure(request.error);
    const std::string database = databasePath();
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
