#include "answer_meaning.h"

#include <algorithm>

namespace kz::windns {

namespace {

Meaning meaningOf(uint32_t address, const Zone& zone) {
    if ((address >> 24) != 127) return Meaning::NotListed;
    if ((address & 0xFFFFFF00u) == 0x7FFFFF00u) return Meaning::Refused;
    if (std::find(zone.errorCodes.begin(), zone.errorCodes.end(), address) != zone.errorCodes.end())
        return Meaning::Refused;
    return Meaning::Listed;
}

}  // namespace

Verdict MeaningOf(const QueryOutcome& outcome, const Zone& zone) {
    Verdict verdict;
    if (outcome.status != QueryOutcome::Status::Addresses) return verdict;
    for (uint32_t address : outcome.addresses) {
        const Meaning meaning = meaningOf(address, zone);
        if (meaning == Meaning::Listed) return {meaning, address};
        if (meaning == Meaning::Refused) verdict = {meaning, address};
    }
    return verdict;
}

}  // namespace kz::windns
