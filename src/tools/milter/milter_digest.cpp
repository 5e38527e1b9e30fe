#include "milter_digest.h"

#include <openssl/evp.h>

namespace kz::tool {

struct BodyDigest::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

BodyDigest::BodyDigest() : state_(std::make_unique<State>()) {
    EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr);
}

BodyDigest::~BodyDigest() = default;
BodyDigest::BodyDigest(BodyDigest&&) noexcept = default;
BodyDigest& BodyDigest::operator=(BodyDigest&&) noexcept = default;

void BodyDigest::add(std::string_view piece) {
    EVP_DigestUpdate(state_->context, piece.data(), piece.size());
}

std::string BodyDigest::finish() {
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(state_->context, bytes, &size);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}

std::string DigestOf(std::string_view text) {
    BodyDigest digest;
    digest.add(text);
    return digest.finish();
}

}  // namespace kz::tool
