#include "evaluate/scan_loop_check.h"

#include "base/ascii.h"
#include "base/format.h"
#include "log/trace.h"
#include "message/loop_seal.h"

namespace kz::evaluate {

void LoopCheck::noteHeader(std::string_view name, std::string_view value) {
    if (equalsIgnoreCase(name, kLoopHeaderName)) {
        loopHeader_ = true;
    } else if (equalsIgnoreCase(name, kLoopSealHeaderName) && !sealed_) {
        const LoopSeal* seal = CurrentLoopSeal();
        sealed_ = seal && seal->verifies(messageName_, value);
    }
}

void LoopCheck::noteLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    noteHeader(line.substr(0, colon), line.substr(colon + 1));
}

bool IsOwnMessage(const std::vector<HeaderEntry>& headers, std::string_view messageName) {
    LoopCheck check(messageName);
    for (const HeaderEntry& header : headers) check.noteHeader(header.name, header.value);
    return check.ownMessage();
}

bool OwnMessageResult(Evaluation& evaluation) {
    MessageContext& context = *evaluation.message();
    context.ownMessage = true;
    bool virus = false;
    for (MatchResultBlock& block : evaluation.results().blocks) {
        for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
            if (kind == filters::HASVIRUS) continue;
            const std::size_t at = std::size_t(kind);
            block.hitCount[at] = 0;
            block.matchText[at].clear();
            block.instanceValue.clear(at);
        }
        virus = virus || block.hitCount[filters::HASVIRUS] > 0;
    }
    log::Trace("Message %s was queued by the filter itself; %s\n", context.messageId.c_str(),
               virus ? "only its antivirus verdict applies" : "it is not filtered again");
    return virus;
}

}  // namespace kz::evaluate
