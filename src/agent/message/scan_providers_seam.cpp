#include "message/scan_providers_seam.h"

namespace kz::scan {

void CheckSpamProbability(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {
}

void CheckSpamAssassin(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {}

void CheckDkim(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {}

void CheckVirus(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {}

bool FindListedLink(std::string_view, int&, std::string_view, std::string&) {
    return false;
}

void CheckLinks(const MessageContext& context, int& lookupCounter, std::string_view text,
                const filters::FilterTable&, filters::CriteriaResults&) {
    std::string listName;
    if (!FindListedLink(context.MessageId, lookupCounter, text, listName)) return;
    // Recording the URLBL hit arrives with the link checks, which return no list yet.
}

}  // namespace kz::scan
