#include "report_index.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "console_error.h"
#include "platform/files.h"
#include "platform/utf8_path.h"

namespace kz::console {

namespace {

// The first bytes of a file: its header line and the stamp of its first Start line, which
// tell a file from another one under the same name.
constexpr std::size_t kHeadSize = 128;
constexpr std::size_t kChunkSize = std::size_t(4) << 20;
// A line longer than this is not one the agent wrote; it is passed over.
constexpr std::size_t kLongestLine = std::size_t(1) << 20;

constexpr std::string_view kSchema = R"(
CREATE TABLE IF NOT EXISTS files(name TEXT PRIMARY KEY, offset INTEGER NOT NULL,
    head BLOB NOT NULL, last_message TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS hits(file TEXT, hour INTEGER, filter TEXT, connector TEXT,
    result TEXT, n INTEGER NOT NULL, PRIMARY KEY(file, hour, filter, connector, result))
    WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS messages(file TEXT, hour INTEGER, connector TEXT,
    n INTEGER NOT NULL, PRIMARY KEY(file, hour, connector)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS held(file TEXT, offset INTEGER, message_id TEXT, connector TEXT,
    filter TEXT, PRIMARY KEY(file, offset)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS held_by_message ON held(message_id);
)";

// What one stretch of a file adds to the index.
struct Additions {
    std::map<std::tuple<HourKey, std::string, std::string, std::string>, int64_t> hits;
    std::map<std::pair<HourKey, std::string>, int64_t> messages;
    std::vector<std::tuple<int64_t, std::string, std::string, std::string>> held;
};

class FileReader {
  public:
    FileReader(std::string lastMessage) : lastMessage_(std::move(lastMessage)) {}

    // One line at `offset` of the file.
    void line(std::string_view text, int64_t offset) {
        auto parsed = ParseReportLine(text);
        if (!parsed || parsed->action != "Executed") return;
        auto hour = StampHour(parsed->stamp);
        if (!hour) return;
        std::string connector(parsed->connector);
        ++add.hits[{*hour, std::string(parsed->filter), connector, std::string(parsed->result)}];
        // The lines of one run come together; a new message name or connector starts a run.
        std::string message = std::string(parsed->messageId) + '\t' + connector;
        if (message != lastMessage_) {
            ++add.messages[{*hour, connector}];
            lastMessage_ = std::move(message);
        }
        ResultColumn result = SplitResult(parsed->result);
        if (!result.audit && HasKeyword(result.keywords, "COPY_TO_QUARANTINE"))
            add.held.emplace_back(offset, std::string(parsed->messageId), connector,
                                  std::string(parsed->filter));
    }

    const std::string& lastMessage() const { return lastMessage_; }
    Additions add;

  private:
    std::string lastMessage_;
};

void store(SqliteDatabase& db, const std::string& file, const Additions& add) {
    SqliteStatement hits(db.handle(),
                         "INSERT INTO hits VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT DO UPDATE "
                         "SET n = n + excluded.n");
    for (const auto& [key, n] : add.hits) {
        const auto& [hour, filter, connector, result] = key;
        hits.bind(1, file).bind(2, hour).bind(3, filter).bind(4, connector).bind(5, result);
        hits.bind(6, n).run();
    }
    SqliteStatement messages(db.handle(),
                             "INSERT INTO messages VALUES(?1, ?2, ?3, ?4) ON CONFLICT DO UPDATE "
                             "SET n = n + excluded.n");
    for (const auto& [key, n] : add.messages)
        messages.bind(1, file).bind(2, key.first).bind(3, key.second).bind(4, n).run();
    SqliteStatement held(db.handle(), "INSERT OR REPLACE INTO held VALUES(?1, ?2, ?3, ?4, ?5)");
    for (const auto& [offset, message, connector, filter] : add.held)
        held.bind(1, file)
            .bind(2, offset)
            .bind(3, message)
            .bind(4, connector)
            .bind(5, filter)
            .run();
}

void forget(SqliteDatabase& db, const std::string& file) {
    for (const char* table : {"hits", "messages", "held", "files"}) {
        SqliteStatement remove(
            db.handle(),
            std::string("DELETE FROM ") + table +
                (std::string_view(table) == "files" ? " WHERE name = ?1" : " WHERE file = ?1"));
        remove.bind(1, file).run();
    }
}

std::string indexPathIn(const std::string& logDirectory) {
    return platform::joinPath(logDirectory, kReportIndexName);
}

}  // namespace

ReportIndex::ReportIndex(std::string logDirectory)
    : ReportIndex(logDirectory,
                  logDirectory.empty() ? std::string(":memory:") : indexPathIn(logDirectory)) {}

ReportIndex::ReportIndex(std::string logDirectory, const std::string& indexPath)
    : logDirectory_(std::move(logDirectory)) {
    if (indexPath != ":memory:") {
        try {
            db_ = std::make_unique<SqliteDatabase>(indexPath);
            createTables();
            persistent_ = true;
        } catch (const ConsoleError&) {
            // A log folder this user may not write: the logs are read for this query alone.
            db_.reset();
        }
    }
    if (!db_) {
        db_ = std::make_unique<SqliteDatabase>(":memory:");
        createTables();
    }
}

void ReportIndex::createTables() {
    db_->execute("PRAGMA journal_mode=WAL");
    db_->execute(kSchema);
}

uint64_t ReportIndex::update() {
    if (logDirectory_.empty()) return 0;
    std::vector<std::string> names;
    for (std::string& name : platform::listDirectory(logDirectory_))
        if (IsReportFileName(name)) names.push_back(std::move(name));
    std::sort(names.begin(), names.end());
    // A file read to its end is passed over without a transaction: the agent's files only
    // grow, and one written anew at another length is caught by its first bytes.
    std::map<std::string, int64_t> readTo;
    SqliteStatement offsets(db_->handle(), "SELECT name, offset FROM files");
    while (offsets.step()) readTo[offsets.text(0)] = offsets.integer(1);
    uint64_t read = 0;
    for (const std::string& name : names) {
        auto known = readTo.find(name);
        auto version = platform::fileVersion(platform::joinPath(logDirectory_, name));
        if (known != readTo.end() && version && int64_t(version->size) == known->second) continue;
        read += updateFile(name);
    }
    return read;
}

uint64_t ReportIndex::updateFile(const std::string& name) {
    std::ifstream in(platform::pathFromUtf8(platform::joinPath(logDirectory_, name)),
                     std::ios::binary);
    if (!in) return 0;
    in.seekg(0, std::ios::end);
    const int64_t size = in.tellg();
    if (size < 0) return 0;
    std::string head(std::size_t(std::min<int64_t>(size, kHeadSize)), '\0');
    in.seekg(0);
    in.read(head.data(), std::streamsize(head.size()));

    // Inside the transaction, so two updates at once do not read the same stretch twice.
    SqliteTransaction transaction(*db_);
    int64_t offset = 0;
    std::string lastMessage;
    {
        SqliteStatement known(db_->handle(),
                              "SELECT offset, head, last_message FROM files WHERE name = ?1");
        known.bind(1, name);
        if (known.step()) {
            offset = known.integer(0);
            std::string recorded = known.text(1);
            lastMessage = known.text(2);
            bool replaced = size < offset || head.compare(0, recorded.size(), recorded) != 0 ||
                            recorded.size() > head.size();
            if (replaced) offset = 0, lastMessage.clear();
        }
    }
    if (offset == size) return 0;
    if (offset == 0) forget(*db_, name);

    FileReader reader(lastMessage);
    in.clear();
    in.seekg(offset);
    std::string carry;      // the start of a line that goes on in the next chunk
    bool skipping = false;  // inside an over-long line
    int64_t lineStart = offset;
    int64_t position = offset;
    std::string chunk(kChunkSize, '\0');
    while (position < size) {
        in.read(chunk.data(), std::streamsize(std::min<int64_t>(kChunkSize, size - position)));
        std::size_t got = std::size_t(in.gcount());
        if (got == 0) break;
        std::string_view piece(chunk.data(), got);
        std::size_t at = 0;
        while (at < piece.size()) {
            std::size_t end = piece.find('\n', at);
            if (end == std::string_view::npos) {
                if (!skipping) carry.append(piece.substr(at));
                if (carry.size() > kLongestLine) carry.clear(), skipping = true;
                break;
            }
            if (!skipping) {
                if (carry.empty()) {
                    reader.line(piece.substr(at, end - at), lineStart);
                } else {
                    carry.append(piece.substr(at, end - at));
                    reader.line(carry, lineStart);
                    carry.clear();
                }
            }
            skipping = false;
            lineStart = position + int64_t(end) + 1;
            at = end + 1;
        }
        position += int64_t(got);
    }
    // A line still being written is read again next time, whole.
    store(*db_, name, reader.add);
    SqliteStatement record(db_->handle(), "INSERT OR REPLACE INTO files VALUES(?1, ?2, ?3, ?4)");
    record.bind(1, name)
        .bind(2, lineStart)
        .bind(3, std::string_view(head))
        .bind(4, reader.lastMessage());
    record.run();
    transaction.commit();
    return uint64_t(lineStart - offset);
}

std::vector<ReportIndex::HeldLine> ReportIndex::heldLines(std::string_view messageId) {
    SqliteStatement query(db_->handle(),
                          "SELECT file, offset, connector, filter FROM held WHERE message_id = ?1 "
                          "ORDER BY file, offset");
    query.bind(1, messageId);
    std::vector<HeldLine> lines;
    while (query.step())
        lines.push_back({query.text(0), query.integer(1), query.text(2), query.text(3)});
    return lines;
}

std::vector<ReportIndex::HeldEntry> ReportIndex::allHeldLines() {
    SqliteStatement query(db_->handle(),
                          "SELECT message_id, connector, filter FROM held ORDER BY file, offset");
    std::vector<HeldEntry> lines;
    while (query.step()) lines.push_back({query.text(0), query.text(1), query.text(2)});
    return lines;
}

}  // namespace kz::console
