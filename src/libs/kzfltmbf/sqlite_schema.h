#pragma once
// The token file's tables and the statements the store prepares.

#include <cstddef>

#include "token_store.h"

namespace kz::bayes::sqlite {

inline int CategoryNumber(Category category) {
    return category == Category::Spam ? 1 : 0;
}

// How long a writer waits for another process's transaction before it gives up.
inline constexpr int kBusyTimeoutMs = 30000;

inline constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS tokens(token INTEGER PRIMARY KEY, spam INTEGER NOT NULL,"
    " ham INTEGER NOT NULL, seen INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS messages(digest BLOB PRIMARY KEY, category INTEGER NOT NULL)"
    " WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS totals(category INTEGER PRIMARY KEY, messages INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO totals VALUES(0, 0), (1, 0);"
    // Moved on by every change of the counts, so that a copy held in memory knows whether
    // it is current. It starts anywhere: a file made anew does not repeat an old one's.
    "CREATE TABLE IF NOT EXISTS generation(id INTEGER PRIMARY KEY, value INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO generation VALUES(0, random() >> 1);";

enum Sql {
    ChangeToken,
    DropEmpty,
    FindMessage,
    SetMessage,
    DropMessage,
    ReadToken,
    ReadTotals,
    AddTotal,
    CountTokens,
    ReadGeneration,
    NextGeneration,
    ReadAllTokens,
    ReadTokenRows,
    ReadMessages,
    PutToken,
    SetTotal,
    ExpireOldest,
    SqlCount
};
inline constexpr const char* kSql[SqlCount] = {
    "INSERT INTO tokens(token, spam, ham, seen) VALUES(?1, max(?2, 0), max(?3, 0), ?4)"
    " ON CONFLICT(token) DO UPDATE SET spam = max(spam + ?2, 0), ham = max(ham + ?3, 0),"
    " seen = max(seen, ?4)",
    "DELETE FROM tokens WHERE token = ?1 AND spam = 0 AND ham = 0",
    "SELECT category FROM messages WHERE digest = ?1",
    "INSERT OR REPLACE INTO messages VALUES(?1, ?2)",
    "DELETE FROM messages WHERE digest = ?1",
    "SELECT spam, ham FROM tokens WHERE token = ?1",
    "SELECT category, messages FROM totals",
    "UPDATE totals SET messages = max(messages + ?2, 0) WHERE category = ?1",
    "SELECT count(*) FROM tokens",
    "SELECT value FROM generation",
    "UPDATE generation SET value = value + 1",
    "SELECT token, spam, ham FROM tokens",
    "SELECT token, spam, ham, seen FROM tokens",
    "SELECT digest, category FROM messages",
    "INSERT OR REPLACE INTO tokens(token, spam, ham, seen) VALUES(?1, ?2, ?3, ?4)",
    "UPDATE totals SET messages = ?2 WHERE category = ?1",
    "DELETE FROM tokens WHERE token IN (SELECT token FROM tokens ORDER BY seen, token LIMIT ?1)",
};

// Rows handed to a RowSink at a time while a store is read whole.
inline constexpr std::size_t kRowsPerPiece = 4096;

}  // namespace kz::bayes::sqlite
