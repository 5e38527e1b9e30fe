#include <iconv.h>

#include <cerrno>
#include <memory>

#include "platform/codepage.h"
#include "platform/posix/text_codecs.h"

namespace kz::platform::posix {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};

}  // namespace

// A descriptor per call: iconv_t keeps shift state and must never be shared between
// threads, and opening one is cheap next to a message scan.
std::optional<std::string> convertWithIconv(const char* from, const char* to, std::string_view in) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::unique_ptr<void, IconvCloser> guard(cd);

    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    size_t used = 0;
    // The last round (null input) writes the shift sequence that ends a stateful
    // encoding such as ISO-2022-JP.
    bool flushing = in.empty();
    for (;;) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t rc = flushing ? ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                             : ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            if (flushing) break;
            flushing = true;
        } else if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            return std::nullopt;  // EILSEQ: invalid or unmappable; EINVAL: truncated
        }
    }
    out.resize(used);
    return out;
}

bool systemSupportsCodePage(unsigned codePage) {
    const char* name = iconvNameForCodePage(codePage);
    return name && convertWithIconv(name, "UTF-8", {}) && convertWithIconv("UTF-8", name, {});
}

std::optional<std::string> systemToUtf8(std::string_view bytes, unsigned codePage) {
    const char* name = iconvNameForCodePage(codePage);
    return name ? convertWithIconv(name, "UTF-8", bytes) : std::nullopt;
}

std::optional<std::string> systemFromUtf8(std::string_view utf8, unsigned codePage) {
    const char* name = iconvNameForCodePage(codePage);
    return name ? convertWithIconv("UTF-8", name, utf8) : std::nullopt;
}

}  // namespace kz::platform::posix
