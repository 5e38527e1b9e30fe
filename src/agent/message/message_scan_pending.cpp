#include "message/message_scan.h"

namespace kz {

// The scanners arrive with the message scan; until then no message is scanned, so no
// action runs.
int ScanMessageMime(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {
    return 0;
}

int ScanMessagePlain(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&) {
    return 0;
}

}  // namespace kz
