#pragma once
// SQLite's prepared statements and transactions as the token file uses them.

#include <sqlite3.h>

#include <cstdint>
#include <string_view>

#include "token_store.h"

namespace kz::bayes {

// A prepared statement in use: reset and its bindings cleared when done.
class Statement {
  public:
    Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bindBlob(int at, std::string_view bytes) {
        check(sqlite3_bind_blob(stmt_, at, bytes.data(), int(bytes.size()), SQLITE_STATIC));
        return *this;
    }
    Statement& bind(int at, int64_t value) {
        check(sqlite3_bind_int64(stmt_, at, value));
        return *this;
    }
    // True while rows come.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db_));
        return false;
    }
    void exec() {
        while (step()) {
        }
        sqlite3_reset(stmt_);
    }
    int64_t column(int at) const { return sqlite3_column_int64(stmt_, at); }
    std::string_view blob(int at) const {
        const void* data = sqlite3_column_blob(stmt_, at);
        return {static_cast<const char*>(data), std::size_t(sqlite3_column_bytes(stmt_, at))};
    }

  private:
    void check(int rc) const {
        if (rc != SQLITE_OK) throw StoreError(sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

// BEGIN IMMEDIATE takes the write lock at once, so that two writers wait for each other
// instead of one failing at its first write.
class Transaction {
  public:
    Transaction(sqlite3* db, bool write) : db_(db) { execute(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
    ~Transaction() {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        execute("COMMIT");
        db_ = nullptr;
    }

  private:
    void execute(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw StoreError(sqlite3_errmsg(db_));
    }
    sqlite3* db_;
};

}  // namespace kz::bayes
