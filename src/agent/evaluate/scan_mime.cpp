// The MIME-aware scan: decoded header values, the leaf parts and the bodies.

#include <string>
#include <vector>

#include "base/ascii.h"
#include "config/settings.h"
#include "evaluate/evaluators_text.h"
#include "evaluate/link_check.h"
#include "evaluate/scan.h"
#include "evaluate/scan_attachments.h"
#include "evaluate/scan_delimiters.h"
#include "evaluate/scan_loop_check.h"
#include "evaluate/scan_prologue.h"
#include "evaluate/scan_values.h"
#include "message/mime_reader.h"

namespace kz {

namespace {

using filters::CriteriaResults;
using filters::FilterTable;

void evaluateHeaders(MimeReader& reader, const FilterTable& table, CriteriaResults& results) {
    const auto& headers = reader.headers();
    if (const HeaderEntry* from = FindFirstHeader(headers, "From")) {
        filters::EvaluateAddressCriterion(filters::FROM, from->value, scan::kAddressDelimiters,
                                          table, results);
    }
    filters::EvaluateWordCriterion(filters::HEADERS_CONTAIN, reader.headerBlock(),
                                   scan::kWordDelimiters, table, results);
    for (auto [name, kind] : {std::pair{"To", filters::TO}, std::pair{"Cc", filters::CC}}) {
        if (const HeaderEntry* header = FindFirstHeader(headers, name)) {
            filters::EvaluateAddressCriterion(kind, header->value, scan::kAddressDelimiters, table,
                                              results);
            filters::EvaluateAddressCriterion(filters::TOorCC, header->value,
                                              scan::kAddressDelimiters, table, results);
        }
    }
    if (const HeaderEntry* subject = FindFirstHeader(headers, "Subject")) {
        filters::EvaluateWordCriterion(filters::SUBJECT, subject->value, scan::kWordDelimiters,
                                       table, results);
    }
    if (const HeaderEntry* priority = FindFirstHeader(headers, "X-MSMail-Priority")) {
        filters::EvaluateWordCriterion(filters::PRIORITY, priority->value, scan::kWordDelimiters,
                                       table, results);
    }
    if (const HeaderEntry* priority = FindFirstHeader(headers, "X-Priority")) {
        scan::EvaluateXPriority(priority->value, table, results);
    }
    const HeaderEntry* spf = config::SpfHeaderCheck() == 1
                                 ? FindLastHeader(headers, "Received-SPF")
                                 : FindFirstHeader(headers, "Received-SPF");
    if (spf) {
        filters::EvaluateWordCriterion(filters::SPF, spf->value, scan::kWordDelimiters, table,
                                       results);
    }
    if (const HeaderEntry* country = FindFirstHeader(headers, "X-KZ-CountryOrigin")) {
        scan::EvaluateCountryOrigin(country->value, table, results);
    }
}

// Parts past the list bound take the attachment criteria only.
void evaluatePart(const MimePart& part, bool listed, const FilterTable& table,
                  CriteriaResults& results) {
    if (listed) {
        filters::EvaluateWordCriterion(filters::BOUNDARYHEADERS_CONTAIN, part.RawHeaders,
                                       scan::kWordDelimiters, table, results);
    }
    if (!scan::IsAttachment(part)) return;
    const std::vector<std::string> names = scan::AttachmentNames(part);
    scan::EvaluatePresence(part, names, table, results);
    for (const std::string& name : names) {
        filters::EvaluateWordCriterion(filters::HASATTACHMENTSMATCHING, name, scan::kWordDelimiters,
                                       table, results);
    }
}

}  // namespace

int ScanMessageMime(MessageContext& context, const FilterTable& table, CriteriaResults& results) {
    const std::string path = scan::RunScanPrologue(context, table, results);
    MimeReader reader;
    if (!path.empty()) reader.loadFile(path, true);
    if (reader.text().empty()) return 0;
    // Mail the agent queued itself answers to the antivirus verdict only.
    if (scan::IsOwnMessage(reader.headers(), context.MessageId))
        return scan::OwnMessageResult(context, results);

    evaluateHeaders(reader, table, results);
    const bool allParts = reader.forEachPart(
        [&](const MimePart& part, bool listed) { evaluatePart(part, listed, table, results); });
    if (!allParts) scan::HoldAttachmentCriteria(table, results);
    scan::EvaluateBodies(reader, table, results);

    if (config::PerformSblRbl() != 0) {
        const std::string joined = reader.plainTextBody() + reader.htmlBody();
        filters::LinkLookups lookups;
        scan::CheckLinks(context, lookups, joined, table, results);
    }
    return 1;
}

}  // namespace kz
