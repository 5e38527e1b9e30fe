// kzmta bayes migrate, backup, restore and clear: the token store the registry names (or
// two named on the command line) opened here directly, through the classifier's own
// store code, since these copy whole stores rather than messages.

#include "bayes_upkeep.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/utf8_path.h"
#include "redis_address.h"
#include "sqlite_store.h"
#include "store_copy.h"
#include "store_settings.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;
using namespace kz::bayes;

// The registry's store settings with another "Database": its password and timeout apply.
std::unique_ptr<TokenStore> openStore(const std::string& database) {
    StoreSettings settings = ReadStoreSettings();
    if (!database.empty()) settings.database = database;
    settings.maxTokens = 0;  // a copy keeps every token
    return OpenTokenStore(settings);
}

void printCopy(const StoreSummary& copied, const std::string& from, const std::string& to) {
    std::printf("Copied %llu tokens and %llu learned messages (%u spam, %u ham) from %s to %s\n",
                static_cast<unsigned long long>(copied.tokens),
                static_cast<unsigned long long>(copied.messages), copied.totals.spam,
                copied.totals.ham, from.c_str(), to.c_str());
}

// An SQLite file named on the command line must be there to be read.
void requireFile(const std::string& database) {
    if (!ParseRedisAddress(database) && !fs::is_regular_file(platform::pathFromUtf8(database)))
        throw std::runtime_error("no such file: " + database);
}

}  // namespace

int MigrateStore(const std::string& from, const std::string& to) {
    requireFile(from);
    const auto source = openStore(from);
    const auto target = openStore(to);
    printCopy(CopyStore(*source, *target), source->location(), target->location());
    return 0;
}

int BackUpStore(const std::string& file) {
    const auto store = openStore("");
    const std::string temporary = file + ".partial";
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(platform::pathFromUtf8(temporary + suffix));
    StoreSummary copied;
    try {
        SqliteStore backup(temporary);
        copied = CopyStore(*store, backup);
    } catch (...) {
        fs::remove(platform::pathFromUtf8(temporary));
        throw;
    }
    // Closed, its log is in the file: the backup appears whole under its name or not at all.
    fs::rename(platform::pathFromUtf8(temporary), platform::pathFromUtf8(file));
    platform::flushFolderOf(file);
    printCopy(copied, store->location(), file);
    return 0;
}

int RestoreStore(const std::string& file) {
    requireFile(file);
    SqliteStore backup(file);
    const auto store = openStore("");
    store->clear();
    printCopy(CopyStore(backup, *store), file, store->location());
    return 0;
}

int ClearStore(bool confirmed) {
    const auto store = openStore("");
    const StoreStats before = store->stats();
    const std::string what = std::to_string(before.messages.spam) + " spam and " +
                             std::to_string(before.messages.ham) + " ham messages, " +
                             std::to_string(before.tokens) + " tokens";
    // Every server that shares the store loses its learning: asked first.
    if (!confirmed) {
        if (!platform::stdinIsTerminal())
            throw std::runtime_error("clearing " + store->location() + " (" + what +
                                     ") needs --yes when standard input is not a terminal");
        std::printf(
            "%s holds %s, for every server that uses it.\n"
            "Type yes or the store's name to forget them all: ",
            store->location().c_str(), what.c_str());
        std::fflush(stdout);
        std::string answer;
        std::getline(std::cin, answer);
        if (!answer.empty() && answer.back() == '\r') answer.pop_back();
        if (answer != "yes" && answer != store->location()) {
            std::printf("Nothing was cleared\n");
            return 1;
        }
    }
    store->clear();
    std::printf("Cleared %s: %s forgotten\n", store->location().c_str(), what.c_str());
    return 0;
}

}  // namespace kz::tool
