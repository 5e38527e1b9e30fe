// Listing and showing what the quarantine holds.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/ascii.h"
#include "console_error.h"
#include "held_message.h"
#include "message/mime_reader.h"
#include "platform/files.h"
#include "platform/utf8_path.h"
#include "quarantine.h"
#include "report_index.h"

namespace kz::console {

namespace {

// The connector and filters of each held message, from the report lines that copied it.
struct HeldBy {
    std::string connector;
    std::vector<std::string> filters;
};

std::map<std::string, HeldBy> heldByMessage(const Installation& installation) {
    std::map<std::string, HeldBy> held;
    if (installation.logDirectory.empty()) return held;
    ReportIndex index(installation.logDirectory);
    index.update();
    for (ReportIndex::HeldEntry& line : index.allHeldLines()) {
        HeldBy& by = held[line.messageId];
        // A message held again later was held last on the last line's connector.
        by.connector = std::move(line.connector);
        if (std::find(by.filters.begin(), by.filters.end(), line.filter) == by.filters.end())
            by.filters.push_back(std::move(line.filter));
    }
    return held;
}

bool wanted(const HeldMessage& message, const HeldQuery& query) {
    if (query.since && message.time < *query.since) return false;
    if (query.until && message.time > *query.until) return false;
    if (!query.sender.empty() && findIgnoreCase(message.sender, query.sender) == std::string::npos)
        return false;
    if (!query.filter.empty() &&
        std::none_of(message.filters.begin(), message.filters.end(),
                     [&](const std::string& f) { return equalsIgnoreCase(f, query.filter); }))
        return false;
    return true;
}

std::string lineAt(const std::string& logDirectory, const std::string& file, int64_t offset) {
    std::ifstream in(platform::pathFromUtf8(platform::joinPath(logDirectory, file)),
                     std::ios::binary);
    in.seekg(offset);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.substr(0, 64 * 1024);
}

}  // namespace

void AddReportFacts(const Installation& installation, HeldMessage& message,
                    std::vector<std::string>* lines) {
    if (installation.logDirectory.empty()) return;
    ReportIndex index(installation.logDirectory);
    index.update();
    for (const ReportIndex::HeldLine& line : index.heldLines(message.id)) {
        message.connector = line.connector;
        if (std::find(message.filters.begin(), message.filters.end(), line.filter) ==
            message.filters.end())
            message.filters.push_back(line.filter);
        if (lines) lines->push_back(lineAt(installation.logDirectory, line.file, line.offset));
    }
}

std::vector<HeldMessage> ListHeld(const Installation& installation, const HeldQuery& query) {
    if (installation.quarantine.empty())
        throw ConsoleError(ErrorKind::Unavailable,
                           "the registry names no \"Quarantine Directory\"");
    if (platform::fileStatus(installation.quarantine) != platform::FileStatus::Ok)
        throw ConsoleError(ErrorKind::Unavailable,
                           "cannot read the Quarantine Directory " + installation.quarantine);
    const std::map<std::string, HeldBy> heldBy = heldByMessage(installation);
    const std::string messagesFolder = HeldMessagesFolder(installation.quarantine);
    std::vector<HeldMessage> list;
    for (const std::string& id : platform::listDirectory(installation.quarantine)) {
        if (!IsValidHeldId(id)) continue;
        auto message = ReadHeldSummary(installation.quarantine, messagesFolder, id);
        if (!message) continue;
        if (auto by = heldBy.find(id); by != heldBy.end()) {
            message->connector = by->second.connector;
            message->filters = by->second.filters;
        }
        if (wanted(*message, query)) list.push_back(std::move(*message));
    }
    std::sort(list.begin(), list.end(), [](const HeldMessage& a, const HeldMessage& b) {
        return a.time != b.time ? a.time > b.time : a.id < b.id;
    });
    return list;
}

HeldDetail ShowHeld(const Installation& installation, const std::string& id) {
    HeldFiles files = OpenHeld(installation, id);
    HeldDetail detail;
    detail.message = files.summary;
    detail.envelope = files.commandLines;
    AddReportFacts(installation, detail.message, &detail.reportLines);
    MimeReader reader;
    reader.loadFile(files.messageFile);
    detail.headers = reader.headers();
    for (const MimePart& part : reader.parts())
        detail.parts.push_back({part.contentType, part.charset, part.transferEncoding,
                                part.dispositionType, part.fileName, part.content.size()});
    detail.textBody = reader.plainTextBody();
    detail.htmlBody = reader.htmlBody();
    return detail;
}

}  // namespace kz::console
