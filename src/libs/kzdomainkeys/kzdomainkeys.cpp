// KZDomainKeys: DKIM verification of a message for the agent's DKIM criterion.
//
// The execute entry gets "<COMMAND>VERIFY</COMMAND><FILENAME>message file</FILENAME>
// <CMDFILE>..</CMDFILE><DOMAIN>sender's domain</DOMAIN><SENDER>..</SENDER>" and answers
// "<RESULT>code</RESULT><DOMAIN>d=</DOMAIN><SELECTOR>s=</SELECTOR><DETAIL>why</DETAIL>"
// with the codes of dkim_result.h and the signature that decided. Settings: the "DKIM"
// key under the agent's key, and the SMTP connector's DNS servers (dkim_settings.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "dkim_request.h"
#include "dkim_result.h"
#include "dkim_settings.h"
#include "message_verifier.h"
#include "platform/files.h"
#include "provider_support/reply_buffer.h"
#include "provider_support/request_entries.h"

namespace {

using namespace kz::dkim;

DkimResult verify(std::string_view text) {
    const DkimRequest request = ParseDkimRequest(text);
    if (!request.verify) return {kNotChecked, {}, {}, "unknown command"};
    const auto message = kz::platform::readFile(request.messageFile);
    if (!message) return {kNotChecked, {}, {}, "message file unreadable"};
    return VerifyMessage(ReadDkimSettings(), *message, request.domain);
}

int execute(const char* request, int32_t length, char* reply, int32_t* replyLength) {
    if (reply) reply[0] = '\0';
    if (!request || length <= 0) return 0;
    const DkimResult result = verify(std::string_view(request, std::size_t(length)));
    return kz::providers::AnswerRequest(reply, replyLength, FormatReply(result));
}

}  // namespace

KZ_REQUEST_ENTRIES(execute)
