#include "console_report.h"

#include "base/line_breaks.h"
#include "base/text_limit.h"
#include "log/report_lines.h"
#include "log/report_log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/named_lock.h"

namespace kz::console {

namespace {

// As the agent's fields: at most 1,023 characters, no line break.
std::string column(std::string_view text) {
    return BlankLineBreaks(TextLimit{1024}.cut(text));
}

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& text : texts) out += (out.empty() ? "" : ";") + text;
    return out;
}

}  // namespace

bool WriteConsoleReportLine(const Installation& installation, std::string_view action,
                            const HeldFiles& held, const HeldMessage& message,
                            std::string_view result, const Actor& actor) {
    if (!installation.reportLogOn || installation.logDirectory.empty()) return true;
    const std::string filters = joined(message.filters), by = "by " + actor.name;
    const std::string_view fields[] = {message.id,
                                       message.connector,
                                       filters,
                                       result,
                                       held.envelope.account,
                                       held.envelope.sender,
                                       held.envelope.clientIp,
                                       by,
                                       held.envelope.subject};
    std::string text(action);
    for (std::string_view field : fields) text.append("\t").append(column(field));
    text += '\n';

    platform::NamedLock lock{std::string(log::kLogLockName)};
    platform::NamedLockGuard guard(lock, log::kLogLockBound);
    if (!guard.held()) return false;
    platform::TimePoint now = platform::systemNow();
    std::string stamp = platform::logTimeStamp(now);
    std::string path = platform::resolvePath(
        platform::joinPath(installation.logDirectory, log::ReportFileName(now)));
    std::string lines;
    // A day's first line: the file starts as the agent starts one.
    if (platform::fileStatus(path) == platform::FileStatus::NotFound)
        lines = log::ReportOpeningLines(stamp);
    lines += log::ReportDataLine(stamp, text);
    return platform::appendFile(path, lines);
}

}  // namespace kz::console
