#pragma once
// A thin owner of an SQLite connection and its statements: errors become ConsoleError,
// statements are finalised on every path.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kz::console {

class SqliteStatement {
  public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, int64_t value);
    SqliteStatement& bind(int index, std::string_view text);
    // True while a row is there; false when done.
    bool step();
    // Runs a statement that returns no rows, then makes it ready for the next binding.
    void run();
    void reset();

    int64_t integer(int column) const;
    std::string text(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

class SqliteDatabase {
  public:
    // ":memory:" for a database of this object alone. Throws ConsoleError(Failed).
    explicit SqliteDatabase(const std::string& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void execute(std::string_view sql);
    sqlite3* handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    void commit();

  private:
    SqliteDatabase& db_;
    bool done_ = false;
};

}  // namespace kz::console
