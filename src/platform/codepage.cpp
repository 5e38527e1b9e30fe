// UTF-8, Windows-1252 and HZ are converted by our own code on every system, so they
// convert alike everywhere; other code pages by the system's converters.

#include "platform/codepage.h"

#include "platform/posix/text_codecs.h"

namespace kz::platform {

namespace {

constexpr unsigned kCodePageHz = 52936;

}  // namespace

bool isCodePageSupported(unsigned codePage) {
    if (codePage == kCodePageUtf8 || codePage == kDefaultSingleByteCodePage ||
        codePage == kCodePageHz)
        return true;
    return posix::systemSupportsCodePage(codePage);
}

std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage) {
    switch (codePage) {
        case kCodePageUtf8:
            return isValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
        case kDefaultSingleByteCodePage:
            return posix::cp1252ToUtf8(bytes);
        case kCodePageHz:
            return posix::hzToUtf8(bytes);
    }
    return posix::systemToUtf8(bytes, codePage);
}

std::optional<std::string> fromUtf8(std::string_view utf8, unsigned codePage) {
    // Checked here because the systems' UTF-8 readers are more lenient than the strict rules.
    if (!isValidUtf8(utf8)) return std::nullopt;
    switch (codePage) {
        case kCodePageUtf8:
            return std::string(utf8);
        case kDefaultSingleByteCodePage:
            return posix::utf8ToCp1252(utf8);
        case kCodePageHz:
            return posix::utf8ToHz(utf8);
    }
    return posix::systemFromUtf8(utf8, codePage);
}

}  // namespace kz::platform
