#pragma once
// An index of the daily report logs, kept beside them in an SQLite file so that a year
// of busy logs is not read again for every query. For each report file it records how
// far it has been read (its offset) and what its first bytes were; an update reads only
// what was appended since, and reads a file again when it shrank or was replaced.
//
// It keeps counts, not lines: "Executed" lines per file, hour, filter, connector and
// Result column, and messages (filter runs that held at least one filter) per file, hour
// and connector; and, one row each, the lines that copied a message into the quarantine
// (their file and offset), which the quarantine list joins. Counts of files the agent has
// since removed ("Report Log Days") are kept: the statistics outlive the logs.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "report_line.h"
#include "sqlite_db.h"

namespace kz::console {

inline constexpr std::string_view kReportIndexName = "kzmta-report-index.db";

class ReportIndex {
  public:
    // The index of the report files in logDirectory, kept in `<logDirectory>/
    // kzmta-report-index.db`; when that cannot be opened for writing, in memory for this
    // object alone (every query then reads the logs). Throws ConsoleError.
    explicit ReportIndex(std::string logDirectory);
    // The same with the index file named (":memory:" for none).
    ReportIndex(std::string logDirectory, const std::string& indexPath);

    // Brings the index up to date with the files; returns the bytes read.
    uint64_t update();

    // Whether the index lives in a file (false: in memory).
    bool persistent() const { return persistent_; }
    SqliteDatabase& database() { return *db_; }

    // The report lines that copied the message into the quarantine.
    struct HeldLine {
        std::string file;  // the report file's name
        int64_t offset = 0;
        std::string connector, filter;
    };
    std::vector<HeldLine> heldLines(std::string_view messageId);
    // Every such line: message ID, connector and filter, in the order of the logs.
    struct HeldEntry {
        std::string messageId, connector, filter;
    };
    std::vector<HeldEntry> allHeldLines();

    const std::string& logDirectory() const { return logDirectory_; }

  private:
    void createTables();
    uint64_t updateFile(const std::string& name);

    std::string logDirectory_;
    std::unique_ptr<SqliteDatabase> db_;
    bool persistent_ = false;
};

}  // namespace kz::console
