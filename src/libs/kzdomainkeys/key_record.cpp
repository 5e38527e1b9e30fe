#include "key_record.h"

#include "header_fields.h"
#include "tag_list.h"

namespace kz::dkim {

namespace {

// Each item of a colon-separated list, in turn, until `visit` returns true.
template <typename Visit>
bool anyItem(std::string_view list, Visit visit) {
    while (true) {
        const std::size_t colon = list.find(':');
        const std::string_view item = list.substr(0, colon);
        if (!item.empty() && visit(item)) return true;
        if (colon == std::string_view::npos) return false;
        list.remove_prefix(colon + 1);
    }
}

bool knownHash(std::string_view name) {
    return SameName(name, "sha1") || SameName(name, "sha256");
}

}  // namespace

std::variant<KeyRecord, KeyFault> ReadKeyRecord(std::string_view text,
                                                SignatureAlgorithm algorithm) {
    text = text.substr(0, std::min(text.find('\0'), kLongestKeyRecord));
    // A record that cannot be read counts as a failed lookup, like no record at all.
    if (text.empty()) return KeyFault{kNoDnsEntry, "empty key record"};
    const auto tags = ParseTagList(text);
    if (!tags) return KeyFault{kNoDnsEntry, "key record syntax"};
    if (const std::string* version = tags->find("v"); version && *version != "DKIM1")
        return KeyFault{kNoKey, "unknown key version"};
    if (const std::string* hashes = tags->find("h")) {
        if (!anyItem(*hashes, knownHash)) return KeyFault{kNoKey, "unknown key hash"};
        const auto ownHash = [&](std::string_view name) {
            return SameName(name, algorithm == SignatureAlgorithm::rsaSha1 ? "sha1" : "sha256");
        };
        if (!anyItem(*hashes, ownHash)) return KeyFault{kNoKey, "key not for this hash"};
    }
    if (const std::string* services = tags->find("s")) {
        const auto email = [](std::string_view name) {
            return name == "*" || SameName(name, "email");
        };
        if (!anyItem(*services, email)) return KeyFault{kNoKey, "key not for e-mail"};
    }
    const std::string* type = tags->find("k");
    if (type && !SameName(*type, "rsa") && !SameName(*type, "ed25519"))
        return KeyFault{kNoKey, "unknown key type"};
    const std::string* key = tags->find("p");
    if (!key) return KeyFault{kNoDnsEntry, "key record without p="};
    if (key->empty()) return KeyFault{kNoKey, "key revoked"};
    auto decoded = DecodeBase64(*key);
    if (!decoded) return KeyFault{kNoDnsEntry, "corrupt p="};
    KeyRecord record{std::move(*decoded)};
    if (const std::string* flags = tags->find("t"))
        record.sameDomainOnly =
            anyItem(*flags, [](std::string_view flag) { return SameName(flag, "s"); });
    return record;
}

}  // namespace kz::dkim
