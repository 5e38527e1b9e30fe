#pragma once
// DKIM keys and signatures made by the tests: keys by opendkim-genkey or OpenSSL,
// signatures by libopendkim, and the dnsmasq option that publishes a key.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include <memory>
#include <optional>
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

namespace dkim_keys {

inline std::string base64(const unsigned char* bytes, int size) {
    std::string out(std::size_t(4 * ((size + 2) / 3) + 1), '\0');
    out.resize(
        std::size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes, size)));
    return out;
}

inline std::string privatePem(EVP_PKEY* key) {
    std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, std::size_t(size));
}

}  // namespace dkim_keys

// An RSA key of `bits` made by OpenSSL, its record "v=DKIM1; k=rsa; p=...".
inline DkimKey MakeRsaKey(unsigned bits) {
    std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(EVP_RSA_gen(bits), &EVP_PKEY_free);
    unsigned char* der = nullptr;
    const int size = i2d_PUBKEY(key.get(), &der);
    DkimKey made{dkim_keys::privatePem(key.get()),
                 "v=DKIM1; k=rsa; p=" + dkim_keys::base64(der, size)};
    OPENSSL_free(der);
    return made;
}

// An Ed25519 key made by OpenSSL, its record "v=DKIM1; k=ed25519; p=...".
inline DkimKey MakeEd25519Key() {
    std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(
        EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free);
    unsigned char raw[32];
    std::size_t size = sizeof raw;
    EVP_PKEY_get_raw_public_key(key.get(), raw, &size);
    return {dkim_keys::privatePem(key.get()),
            "v=DKIM1; k=ed25519; p=" + dkim_keys::base64(raw, int(size))};
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
    dkim_canon_t headerForm = DKIM_CANON_RELAXED;
    dkim_canon_t bodyForm = DKIM_CANON_RELAXED;
    ssize_t signedBytes = -1;            // l= of this many canonical body bytes
    std::string identity;                // i=, none when empty
    std::string domain = "example.net";  // d=
};

inline SignOptions Signing(dkim_alg_t algorithm, bool bodyLength = false, uint64_t signedAt = 0,
                           uint64_t lifetime = 0) {
    SignOptions options;
    options.algorithm = algorithm;
    options.bodyLength = bodyLength;
    options.signedAt = signedAt;
    options.lifetime = lifetime;
    return options;
}

// The message with a DKIM-Signature on top (d=example.net, relaxed/relaxed unless the
// options say otherwise).
inline std::string SignMessage(const std::string& message, const DkimKey& key,
                               const std::string& selector, const SignOptions& options = {}) {
    std::unique_ptr<DKIM_LIB, void (*)(DKIM_LIB*)> library(dkim_init(nullptr, nullptr),
                                                           &dkim_close);
    u_int smallest = 512;  // small keys are made to be refused by the verifier
    dkim_options(library.get(), DKIM_OP_SETOPT, DKIM_OPTS_MINKEYBITS, &smallest, sizeof smallest);
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
#ifdef __SANITIZE_ADDRESS__
    // libopendkim never frees the key of an Ed25519 signature it makes.
    std::optional<__lsan::ScopedDisabler> leaksIgnored;
    if (options.algorithm == DKIM_SIGN_ED25519SHA256) leaksIgnored.emplace();
#endif
    std::unique_ptr<DKIM, DKIM_STAT (*)(DKIM*)> signer(
        dkim_sign(library.get(), reinterpret_cast<const u_char*>("test"), nullptr,
                  reinterpret_cast<dkim_sigkey_t>(const_cast<char*>(key.privateKey.c_str())),
                  reinterpret_cast<const u_char*>(selector.c_str()),
                  reinterpret_cast<const u_char*>(options.domain.c_str()), options.headerForm,
                  options.bodyForm, options.algorithm, options.signedBytes, &status),
        &dkim_free);
    if (!signer) return {};
    if (!options.identity.empty())
        dkim_set_signer(signer.get(), reinterpret_cast<const u_char*>(options.identity.c_str()));
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
