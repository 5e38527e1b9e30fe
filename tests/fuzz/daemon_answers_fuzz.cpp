// Fuzz target: what spamd and clamd answer, as the provider libraries read it. A spamd
// verdict has a numeric score and threshold, and its reply fits the agent's buffer with
// its rules closed; a clamd signature is never empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "kzavgen/clamd_answer.h"
#include "kzfltmsa/spamd_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kz::providers;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string why;
    if (auto verdict = ParseSpamdReply(input, why)) {
        KZ_FUZZ_CHECK(!verdict->score.empty() && !verdict->threshold.empty());
        const std::string reply = FormatSpamdVerdict(*verdict, 1024);
        KZ_FUZZ_CHECK(reply.rfind(verdict->spam ? "<PASS>0</PASS>" : "<PASS>1</PASS>", 0) == 0);
        KZ_FUZZ_CHECK(reply.size() <= 1023 && reply.ends_with("</RULES>"));
    } else {
        KZ_FUZZ_CHECK(!why.empty());
    }

    const ClamdOutcome outcome = ReadClamdAnswer(input);
    KZ_FUZZ_CHECK(outcome.kind == ClamdOutcome::Clean || !outcome.text.empty());
    return 0;
}
