// The SQLite store's upkeep: emptied, read whole and filled, for backups and for copies
// between stores.

#include "sqlite_schema.h"
#include "sqlite_store.h"

namespace kz::bayes {

using namespace sqlite;

void SqliteStore::clear() {
    Transaction transaction(db_, true);
    run("DELETE FROM tokens; DELETE FROM messages; UPDATE totals SET messages = 0;"
        " UPDATE generation SET value = value + 1");
    transaction.commit();
}

void SqliteStore::readTokens(const RowSink<TokenRow>& take) {
    Transaction transaction(db_, false);
    std::vector<TokenRow> rows;
    Statement read = statement(ReadTokenRows);
    while (read.step()) {
        rows.push_back(
            {read.column(0), {uint32_t(read.column(1)), uint32_t(read.column(2))}, read.column(3)});
        if (rows.size() == kRowsPerPiece) {
            take(rows);
            rows.clear();
        }
    }
    if (!rows.empty()) take(rows);
    transaction.commit();
}

void SqliteStore::readMessages(const RowSink<MessageRow>& take) {
    Transaction transaction(db_, false);
    std::vector<MessageRow> rows;
    Statement read = statement(ReadMessages);
    while (read.step()) {
        rows.push_back(
            {std::string(read.blob(0)), read.column(1) == 1 ? Category::Spam : Category::Ham});
        if (rows.size() == kRowsPerPiece) {
            take(rows);
            rows.clear();
        }
    }
    if (!rows.empty()) take(rows);
    transaction.commit();
}

void SqliteStore::addTokens(const std::vector<TokenRow>& rows) {
    Transaction transaction(db_, true);
    for (const TokenRow& row : rows) {
        if (row.counts.spam == 0 && row.counts.ham == 0) continue;
        statement(PutToken)
            .bind(1, row.key)
            .bind(2, row.counts.spam)
            .bind(3, row.counts.ham)
            .bind(4, row.seen)
            .exec();
    }
    statement(NextGeneration).exec();
    transaction.commit();
}

void SqliteStore::addMessages(const std::vector<MessageRow>& rows) {
    Transaction transaction(db_, true);
    for (const MessageRow& row : rows)
        statement(SetMessage).bindBlob(1, row.digest).bind(2, CategoryNumber(row.category)).exec();
    transaction.commit();
}

void SqliteStore::setTotals(LearnedTotals totals) {
    Transaction transaction(db_, true);
    statement(SetTotal).bind(1, 1).bind(2, totals.spam).exec();
    statement(SetTotal).bind(1, 0).bind(2, totals.ham).exec();
    statement(NextGeneration).exec();
    transaction.commit();
}

}  // namespace kz::bayes
