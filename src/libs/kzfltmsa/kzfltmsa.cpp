// KZFLTMSA: the SpamAssassin score of a message, asked of spamd.
//
// The execute entry gets "<FILENAME>path</FILENAME><CMDFILE>path</CMDFILE>" and answers
// "<PASS>1</PASS>" for a message that is not spam, "<PASS>0</PASS>" for spam, with
// "<SCORE>", "<THRESHOLD>" and "<RULES>" for the debug log. A message larger than
// "Max Size" is not sent and passes, as spamc does. When spamd cannot be asked the entry
// returns 0 (no verdict), the message goes on unchecked and a warning is reported (once a
// minute at most). Settings: the "SpamAssassin" key under the agent's key.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "provider_support/event_throttle.h"
#include "provider_support/reply_buffer.h"
#include "provider_support/request_entries.h"
#include "provider_support/tag_value.h"
#include "spamd_check.h"

namespace {

using namespace kz::providers;

EventThrottle gUnreachable;

int execute(const char* request, int32_t length, char* reply, int32_t* replyLength) {
    if (reply) reply[0] = '\0';
    if (!request || length <= 0) return 0;
    const std::string path(TagValue(std::string_view(request, std::size_t(length)), "FILENAME"));
    const SpamdSettings settings = ReadSpamdSettings();
    const kz::platform::FileSize size = kz::platform::fileSize(path);
    if (size.status != kz::platform::FileStatus::Ok) return 0;
    if (size.size > settings.maxSize) return AnswerRequest(reply, replyLength, "<PASS>1</PASS>");
    const auto message = kz::platform::readFile(path);
    if (!message) return 0;

    std::string why;
    const auto verdict = AskSpamd(settings, *message, why);
    if (!verdict) {
        gUnreachable.report("SpamAssassin check skipped, messages pass unchecked: spamd at " + why);
        return 0;
    }
    return AnswerRequest(reply, replyLength,
                         FormatSpamdVerdict(*verdict, ReplyCapacity(replyLength)));
}

}  // namespace

KZ_REQUEST_ENTRIES(execute)
