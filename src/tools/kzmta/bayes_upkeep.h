#pragma once
// kzmta bayes migrate, backup, restore and clear, on the store that the registry's
// Bayesian "Database" names (KZ_REGISTRY set to the registry file first). Each throws
// std::runtime_error (StoreError) on failure and returns the exit status.

#include <string>

namespace kz::tool {

// Copies one store into another, empty one: SQLite files or Redis addresses.
int MigrateStore(const std::string& from, const std::string& to);
// Writes the whole store into a new SQLite file, which replaces `file` when complete.
int BackUpStore(const std::string& file);
// Empties the store and fills it from a backup.
int RestoreStore(const std::string& file);
// Empties the store; unless `confirmed`, only once the administrator types "yes" or the
// store's name on the terminal.
int ClearStore(bool confirmed);

}  // namespace kz::tool
