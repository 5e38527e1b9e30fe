#pragma once
// The settings of the token store under the Bayesian key, and where "Database" leads.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kz::bayes {

struct StoreSettings {
    std::string database;  // an SQLite file, or a Redis address (redis_address.h)
    std::string password;  // Redis AUTH; empty: none
    std::chrono::milliseconds timeout{2000};  // Redis connect and reply
    uint64_t maxTokens = 0;                   // 0: no limit
};

// "Database", "Password", "Timeout" (ms) and "Max Tokens" as the registry holds them now.
StoreSettings ReadStoreSettings();

// "Bayes.db" in the state folder: an installed build's (/var/lib/kzmta), on Windows
// %ProgramData%\Kaztrel, otherwise the folder of the registry file.
std::string DefaultDatabase();

}  // namespace kz::bayes
