#include "dkim_request.h"

#include "provider_support/tag_value.h"
#include "provider_support/text_split.h"

namespace kz::dkim {

DkimRequest ParseDkimRequest(std::string_view text) {
    using providers::TagValue;
    DkimRequest request;
    request.verify =
        providers::ToLowerAscii(providers::Trim(TagValue(text, "COMMAND"))) == "verify";
    request.messageFile = std::string(TagValue(text, "FILENAME"));
    std::string_view domain = providers::Trim(TagValue(text, "DOMAIN"));
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    request.domain = providers::ToLowerAscii(domain);
    return request;
}

}  // namespace kz::dkim
