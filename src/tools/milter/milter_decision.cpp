#include "milter_decision.h"

#include <map>
#include <utility>

#include "base/ascii.h"
#include "milter_spool.h"

namespace kz::tool {

namespace {

using Header = std::pair<std::string, std::string>;  // name, value with CR LF folds

struct SplitMessage {
    std::vector<Header> headers;
};

// The header block up to the first empty line. A line that is
// neither a header nor a continuation (an mbox "From " line) is not a header.
SplitMessage Split(std::string_view text) {
    SplitMessage out;
    std::size_t pos = 0;
    bool inHeader = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(pos, next - pos);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
        if (bare.empty()) return out;
        if ((bare[0] == ' ' || bare[0] == '\t') && inHeader) {
            out.headers.back().second += "\r\n";
            out.headers.back().second += bare;
        } else if (std::size_t colon = bare.find(':'); colon != std::string_view::npos) {
            std::string_view value = bare.substr(colon + 1);
            if (!value.empty() && value[0] == ' ') value.remove_prefix(1);
            out.headers.emplace_back(std::string(bare.substr(0, colon)), std::string(value));
            inHeader = true;
        } else {
            inHeader = false;
        }
        pos = next;
    }
    return out;
}

std::string MilterValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
        out += value[i];
    }
    return out;
}

void CompareHeaders(const std::vector<Header>& before, const std::vector<Header>& after,
                    std::vector<HeaderChange>& changes) {
    std::map<std::string, std::vector<const std::string*>, LessIgnoreCase> old;
    for (const Header& h : before) old[h.first].push_back(&h.second);

    std::map<std::string, std::size_t, LessIgnoreCase> seen;
    std::vector<HeaderChange> inserted, added;
    bool keptSeen = false;  // a header of the original has come: the top is over
    for (const Header& h : after) {
        std::size_t n = seen[h.first]++;
        auto it = old.find(h.first);
        std::size_t had = it == old.end() ? 0 : it->second.size();
        if (n < had) {
            keptSeen = true;
            if (*it->second[n] != h.second)
                changes.push_back(
                    {HeaderChange::Kind::Change, h.first, int(n + 1), MilterValue(h.second)});
        } else if (!keptSeen) {
            inserted.push_back(
                {HeaderChange::Kind::Insert, h.first, int(inserted.size()), MilterValue(h.second)});
        } else {
            added.push_back({HeaderChange::Kind::Add, h.first, 0, MilterValue(h.second)});
        }
    }
    // Headers that went: the highest index first, so the lower ones keep their numbers.
    for (const auto& [name, values] : old) {
        std::size_t now = seen.count(name) ? seen[name] : 0;
        for (std::size_t n = values.size(); n > now; --n)
            changes.push_back({HeaderChange::Kind::Delete, name, int(n), {}});
    }
    changes.insert(changes.end(), inserted.begin(), inserted.end());
    changes.insert(changes.end(), added.begin(), added.end());
}

// Entries of `from` that `minus` does not have (each entry of `minus` cancels one).
std::vector<std::string> Missing(std::vector<std::string> from, std::vector<std::string> minus) {
    std::vector<std::string> out;
    for (std::string& address : from) {
        bool matched = false;
        for (std::string& other : minus) {
            if (!other.empty() && equalsIgnoreCase(other, address)) {
                other.clear();
                matched = true;
                break;
            }
        }
        if (!matched) out.push_back(std::move(address));
    }
    return out;
}

}  // namespace

std::string FirstHeaderValue(std::string_view text, std::string_view name) {
    for (const Header& h : Split(text).headers) {
        if (equalsIgnoreCase(h.first, name)) return h.second;
    }
    return {};
}

MilterDecision CompareQueuedMessage(std::string_view headersBefore, std::string_view digestBefore,
                                    std::string_view commandsBefore, const QueuedAfterRun& after) {
    MilterDecision decision;
    if (after.state != QueuedAfterRun::State::Queued) {
        decision.gone = true;
        return decision;
    }
    CompareHeaders(Split(headersBefore).headers, Split(after.headers).headers, decision.headers);
    decision.bodyChanged = digestBefore != after.bodyDigest;

    auto oldRecipients = EnvelopeRecipients(CommandFileValue(commandsBefore, "Recipients"));
    auto newRecipients = EnvelopeRecipients(CommandFileValue(after.commands, "Recipients"));
    decision.addedRecipients = Missing(newRecipients, oldRecipients);
    decision.removedRecipients = Missing(oldRecipients, newRecipients);
    return decision;
}

}  // namespace kz::tool
