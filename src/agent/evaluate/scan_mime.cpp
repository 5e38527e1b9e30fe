// The MIME-aware scan: decoded header values, the leaf parts and the bodies.

#include <string>
#include <vector>

#include "base/ascii.h"
#include "config/settings.h"
#include "evaluate/link_check.h"
#include "evaluate/scan.h"
#include "evaluate/scan_attachments.h"
#include "evaluate/scan_delimiters.h"
#include "evaluate/scan_loop_check.h"
#include "evaluate/scan_prologue.h"
#include "evaluate/scan_values.h"
#include "message/mime_reader.h"

namespace kz::evaluate {

namespace {

void evaluateHeaders(Evaluation& evaluation, MimeReader& reader) {
    const auto& headers = reader.headers();
    if (const HeaderEntry* from = FindFirstHeader(headers, "From")) {
        evaluation.offer(FROM, from->value, kAddressDelimiters);
    }
    evaluation.offer(HEADERS_CONTAIN, reader.headerBlock(), kWordDelimiters);
    for (auto [name, kind] : {std::pair{"To", TO}, std::pair{"Cc", CC}}) {
        if (const HeaderEntry* header = FindFirstHeader(headers, name)) {
            evaluation.offer(kind, header->value, kAddressDelimiters);
            evaluation.offer(TOorCC, header->value, kAddressDelimiters);
        }
    }
    if (const HeaderEntry* subject = FindFirstHeader(headers, "Subject")) {
        evaluation.offer(SUBJECT, subject->value, kWordDelimiters);
    }
    if (const HeaderEntry* priority = FindFirstHeader(headers, "X-MSMail-Priority")) {
        evaluation.offer(PRIORITY, priority->value, kWordDelimiters);
    }
    if (const HeaderEntry* priority = FindFirstHeader(headers, "X-Priority")) {
        EvaluateXPriority(evaluation, priority->value);
    }
    const HeaderEntry* spf = config::SpfHeaderCheck() == 1
                                 ? FindLastHeader(headers, "Received-SPF")
                                 : FindFirstHeader(headers, "Received-SPF");
    if (spf) {
        evaluation.offer(SPF, spf->value, kWordDelimiters);
    }
    if (const HeaderEntry* country = FindFirstHeader(headers, "X-KZ-CountryOrigin")) {
        EvaluateCountryOrigin(evaluation, country->value);
    }
}

// Parts past the list bound take the attachment criteria only.
void evaluatePart(Evaluation& evaluation, const MimePart& part, bool listed) {
    if (listed) {
        evaluation.offer(BOUNDARYHEADERS_CONTAIN, part.rawHeaders, kWordDelimiters);
    }
    if (!IsAttachment(part)) return;
    const std::vector<std::string> names = AttachmentNames(part);
    EvaluatePresence(evaluation, part, names);
    for (const std::string& name : names) {
        evaluation.offer(HASATTACHMENTSMATCHING, name, kWordDelimiters);
    }
}

}  // namespace

bool ScanMessageMime(Evaluation& evaluation) {
    const MessageContext& context = *evaluation.message();
    const std::string path = RunScanPrologue(evaluation);
    MimeReader reader;
    if (context.heldText)
        reader.loadText(*context.heldText, true);
    else if (!path.empty())
        reader.loadFile(path, true);
    if (reader.text().empty()) return false;
    // Mail the agent queued itself answers to the antivirus verdict only.
    if (IsOwnMessage(reader.headers(), context.messageId)) return OwnMessageResult(evaluation);

    evaluateHeaders(evaluation, reader);
    const bool allParts = reader.forEachPart(
        [&](const MimePart& part, bool listed) { evaluatePart(evaluation, part, listed); });
    if (!allParts) HoldAttachmentCriteriaOfHiddenParts(evaluation);
    EvaluateBodies(evaluation, reader);

    if (config::PerformSblRbl() != 0) {
        const std::string joined = reader.plainTextBody() + reader.htmlBody();
        filters::LinkLookups lookups;
        CheckLinks(evaluation, lookups, joined);
    }
    return true;
}

}  // namespace kz::evaluate
