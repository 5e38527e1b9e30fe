#pragma once
// The value of one base64 character. The MIME decoder and the DKIM verifier share only
// this: they differ on purpose in what they accept around it.

namespace kz {

constexpr int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace kz
