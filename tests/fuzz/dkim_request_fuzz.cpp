// Fuzz target: what the DKIM library reads before it verifies, the agent's request and the
// message file. A request's domain is lower case, header fields are never empty nor end
// in a line end, and the body has only CR LF line ends.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "kzdomainkeys/dkim_request.h"
#include "kzdomainkeys/message_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kz::dkim;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const DkimRequest request = ParseDkimRequest(input);
    for (char c : request.domain) KZ_FUZZ_CHECK(c < 'A' || c > 'Z');
    KZ_FUZZ_CHECK(request.messageFile.size() <= size);

    const MessageParts parts = SplitMessage(input);
    for (const std::string& field : parts.headers) {
        KZ_FUZZ_CHECK(!field.empty() && !field.ends_with("\r\n"));
        IsEmptySignatureHeader(field);
    }
    for (std::size_t at = parts.body.find('\n'); at != std::string::npos;
         at = parts.body.find('\n', at + 1))
        KZ_FUZZ_CHECK(at > 0 && parts.body[at - 1] == '\r');
    KZ_FUZZ_CHECK(parts.body.empty() || parts.body.ends_with("\r\n"));
    return 0;
}
