#pragma once
// Public-key signature checks for verifiers of signed mail: OpenSSL on Linux, CNG on
// Windows (SHA-256 itself is in platform/crypto.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kz::platform {

using Sha256Digest = std::array<uint8_t, 32>;  // the same as crypto.h's Sha256Mac

enum class SignatureOutcome {
    valid,
    invalid,      // the signature does not match (or has the wrong length)
    badKey,       // the key cannot be read, or is not of the algorithm's type
    unsupported,  // this system cannot check the algorithm
};

// RSASSA-PKCS1-v1_5 over a SHA-256 digest; `publicKeyInfo` is a DER SubjectPublicKeyInfo.
// `keyBits` gets the modulus size in whole bytes times 8 when the key could be read.
SignatureOutcome verifyRsaSha256(std::string_view publicKeyInfo, const Sha256Digest& digest,
                                 std::string_view signature, unsigned& keyBits);

// Ed25519 (RFC 8032) of `message` under a raw 32-byte public key.
SignatureOutcome verifyEd25519(std::string_view publicKey, std::string_view message,
                               std::string_view signature);

}  // namespace kz::platform
