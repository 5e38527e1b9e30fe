#include "sqlite_db.h"

#include <sqlite3.h>

#include "console_error.h"

namespace kz::console {

namespace {

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throw ConsoleError(ErrorKind::Failed,
                       std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &statement_, nullptr) != SQLITE_OK)
        fail(db, "the report index cannot prepare a query");
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(statement_, index, text.data(), int(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

bool SqliteStatement::step() {
    int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW) return true;
    if (status == SQLITE_DONE) return false;
    fail(db_, "the report index cannot be read or written");
}

void SqliteStatement::run() {
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              std::size_t(sqlite3_column_bytes(statement_, column)))
                : std::string();
}

SqliteDatabase::SqliteDatabase(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw ConsoleError(ErrorKind::Failed, "cannot open " + path + ": " + why);
    }
    // Another kzmta may be updating the same index: wait for it rather than fail.
    sqlite3_busy_timeout(db_, 30000);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close(db_);
}

void SqliteDatabase::execute(std::string_view sql) {
    std::string text(sql);
    char* message = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string why = message ? message : "unknown error";
        sqlite3_free(message);
        throw ConsoleError(ErrorKind::Failed, "the report index: " + why);
    }
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) {
    db_.execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (done_) return;
    try {
        db_.execute("ROLLBACK");
    } catch (...) {
    }
}

void SqliteTransaction::commit() {
    db_.execute("COMMIT");
    done_ = true;
}

}  // namespace kz::console
