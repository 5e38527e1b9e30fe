#include "key_lookup.h"

namespace kz::dkim {

KeyAnswer FromAnswer(platform::DnsAnswer answer) {
    switch (answer.status) {
        case platform::DnsAnswer::Status::Records:
            if (answer.texts.size() > 1) return {KeyAnswer::Status::several, {}};
            return {KeyAnswer::Status::found, std::move(answer.texts.front())};
        case platform::DnsAnswer::Status::NoRecords:
            return {KeyAnswer::Status::absent, {}};
        default:
            return {answer.timedOut ? KeyAnswer::Status::timedOut : KeyAnswer::Status::failed, {}};
    }
}

}  // namespace kz::dkim
