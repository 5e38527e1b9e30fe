#include "platform/public_key.h"

#include <windows.h>
// After windows.h, whose types they use.
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace kz::platform {

namespace {

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

PUCHAR bytes(std::string_view text) {
    return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
}

// The SubjectPublicKeyInfo decoded by the system, in memory it allocated.
struct DecodedKeyInfo {
    CERT_PUBLIC_KEY_INFO* info = nullptr;
    ~DecodedKeyInfo() {
        if (info) LocalFree(info);
    }
};

// The modulus size in whole bytes times 8, as the exported key states it (Wine's CNG does
// not answer BCRYPT_KEY_LENGTH for imported keys).
unsigned modulusBits(BCRYPT_KEY_HANDLE key) {
    ULONG size = 0;
    if (!succeeded(BCryptExportKey(key, nullptr, BCRYPT_RSAPUBLIC_BLOB, nullptr, 0, &size, 0)) ||
        size < sizeof(BCRYPT_RSAKEY_BLOB))
        return 0;
    std::vector<UCHAR> blob(size);
    if (!succeeded(
            BCryptExportKey(key, nullptr, BCRYPT_RSAPUBLIC_BLOB, blob.data(), size, &size, 0)))
        return 0;
    BCRYPT_RSAKEY_BLOB header;
    std::memcpy(&header, blob.data(), sizeof header);
    return unsigned(header.cbModulus) * 8;
}

}  // namespace

SignatureOutcome verifyRsaSha256(std::string_view publicKeyInfo, const Sha256Digest& digest,
                                 std::string_view signature, unsigned& keyBits) {
    DecodedKeyInfo decoded;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(
            X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
            reinterpret_cast<const BYTE*>(publicKeyInfo.data()), DWORD(publicKeyInfo.size()),
            CRYPT_DECODE_ALLOC_FLAG | CRYPT_DECODE_NOCOPY_FLAG, nullptr, &decoded.info, &size) ||
        std::strcmp(decoded.info->Algorithm.pszObjId, szOID_RSA_RSA) != 0)
        return SignatureOutcome::badKey;
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, decoded.info, 0, nullptr, &key))
        return SignatureOutcome::badKey;
    keyBits = modulusBits(key);
    BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
    const NTSTATUS status = BCryptVerifySignature(key, &padding, const_cast<PUCHAR>(digest.data()),
                                                  ULONG(digest.size()), bytes(signature),
                                                  ULONG(signature.size()), BCRYPT_PAD_PKCS1);
    BCryptDestroyKey(key);
    return succeeded(status) ? SignatureOutcome::valid : SignatureOutcome::invalid;
}

SignatureOutcome verifyEd25519(std::string_view, std::string_view, std::string_view) {
    // CNG has no Ed25519.
    return SignatureOutcome::unsupported;
}

}  // namespace kz::platform
