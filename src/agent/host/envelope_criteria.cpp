#include "host/message_driver.h"

namespace kz::host {

// The envelope evaluators (recipients, client address, whitelist, account, connector,
// sender authentication, all messages) arrive with the criteria matching.
void EvaluateEnvelopeCriteria(const MessageContext&, const filters::FilterTable&,
                              filters::CriteriaResults&) {}

}  // namespace kz::host
