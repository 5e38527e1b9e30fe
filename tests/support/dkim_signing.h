#pragma once
// DKIM keys and signatures made by the tests: keys by opendkim-genkey, signatures by
// libopendkim, and the dnsmasq option that publishes a key.

#include <memory>
#include <string>
#include <vector>

#include "message_parts.h"
#include "opendkim_api.h"
#include "support/test_support.h"

namespace kz::test {

struct DkimKey {
    std::string privateKey;  // PEM
    std::string record;      // the TXT record's text, its strings joined
};

// A 2048-bit RSA key for `selector`.
inline DkimKey MakeDkimKey(const TempDir& dir, const std::string& selector) {
    const RunOutput made = run({"/usr/sbin/opendkim-genkey", "-b", "2048", "-d", "example.net",
                                "-s", selector, "-D", dir.path()});
    if (made.status != 0) return {};
    DkimKey key{readFile(dir.file(selector + ".private")), {}};
    // The zone file line holds the record as quoted strings.
    const std::string zone = readFile(dir.file(selector + ".txt"));
    for (std::size_t open = zone.find('"'); open != std::string::npos;) {
        const std::size_t close = zone.find('"', open + 1);
        if (close == std::string::npos) break;
        key.record += zone.substr(open + 1, close - open - 1);
        open = zone.find('"', close + 1);
    }
    return key;
}

// dnsmasq's option that serves the record at `name`, in strings of at most 255 bytes.
inline std::string TxtRecordOption(const std::string& name, const std::string& record) {
    std::string option = "--txt-record=" + name;
    for (std::size_t at = 0; at < record.size(); at += 255) option += "," + record.substr(at, 255);
    return option;
}

struct SignOptions {
    dkim_alg_t algorithm = DKIM_SIGN_RSASHA256;
    bool bodyLength = false;  // l= with the length of the whole body
    uint64_t signedAt = 0;    // t=, 0 for now
    uint64_t lifetime = 0;    // x= - t=, 0 for none
};

// The message with a DKIM-Signature of d=example.net (relaxed/relaxed) on top.
inline std::string SignMessage(const std::string& message, const DkimKey& key,
                               const std::string& selector, const SignOptions& options = {}) {
    std::unique_ptr<DKIM_LIB, void (*)(DKIM_LIB*)> library(dkim_init(nullptr, nullptr),
                                                           &dkim_close);
    if (options.bodyLength) {
        u_int flags = DKIM_LIBFLAGS_SIGNLEN;
        dkim_options(library.get(), DKIM_OP_SETOPT, DKIM_OPTS_FLAGS, &flags, sizeof flags);
    }
    if (options.signedAt)
        dkim_options(library.get(), DKIM_OP_SETOPT, DKIM_OPTS_FIXEDTIME,
                     const_cast<uint64_t*>(&options.signedAt), sizeof options.signedAt);
    if (options.lifetime)
        dkim_options(library.get(), DKIM_OP_SETOPT, DKIM_OPTS_SIGNATURETTL,
                     const_cast<uint64_t*>(&options.lifetime), sizeof options.lifetime);
    DKIM_STAT status = DKIM_STAT_OK;
    std::unique_ptr<DKIM, DKIM_STAT (*)(DKIM*)> signer(
        dkim_sign(library.get(), reinterpret_cast<const u_char*>("test"), nullptr,
                  reinterpret_cast<dkim_sigkey_t>(const_cast<char*>(key.privateKey.c_str())),
                  reinterpret_cast<const u_char*>(selector.c_str()),
                  reinterpret_cast<const u_char*>("example.net"), DKIM_CANON_RELAXED,
                  DKIM_CANON_RELAXED, options.algorithm, -1, &status),
        &dkim_free);
    if (!signer) return {};
    dkim::MessageParts parts = dkim::SplitMessage(message);
    for (std::string& field : parts.headers)
        dkim_header(signer.get(), reinterpret_cast<u_char*>(field.data()), field.size());
    dkim_eoh(signer.get());
    dkim_body(signer.get(), reinterpret_cast<u_char*>(parts.body.data()), parts.body.size());
    if (dkim_eom(signer.get(), nullptr) != DKIM_STAT_OK) return {};
    u_char* header = nullptr;
    size_t length = 0;
    const std::string name = "DKIM-Signature: ";
    if (dkim_getsighdr_d(signer.get(), name.size(), &header, &length) != DKIM_STAT_OK) return {};
    return name + std::string(reinterpret_cast<char*>(header), length) + "\r\n" + message;
}

}  // namespace kz::test
