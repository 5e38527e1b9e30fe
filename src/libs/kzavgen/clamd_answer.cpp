#include "clamd_answer.h"

namespace kz::providers {

namespace {
constexpr std::size_t kMaxReason = 200;
}

ClamdOutcome ReadClamdAnswer(std::string_view answer) {
    while (!answer.empty() && (answer.back() == '\0' || answer.back() == '\n'))
        answer.remove_suffix(1);
    constexpr std::string_view kStream = "stream: ", kFound = " FOUND";
    if (answer.substr(0, kStream.size()) == kStream) {
        const std::string_view verdict = answer.substr(kStream.size());
        if (verdict == "OK") return {ClamdOutcome::Clean, {}};
        if (verdict.size() > kFound.size() &&
            verdict.substr(verdict.size() - kFound.size()) == kFound)
            return {ClamdOutcome::Found,
                    std::string(verdict.substr(0, verdict.size() - kFound.size()))};
    }
    return {ClamdOutcome::Failed,
            answer.empty() ? "no answer" : std::string(answer.substr(0, kMaxReason))};
}

}  // namespace kz::providers
