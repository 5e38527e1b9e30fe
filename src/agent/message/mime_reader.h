#pragma once
// The reader of one message file: the whole text, its header block and decoded header
// list, its leaf MIME parts and its plain-text and HTML bodies. Lists and bodies are
// built on first request. One reader serves one scan on one thread; the parts refer into
// the reader's text, so a reader is neither copied nor moved.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/mime_headers.h"
#include "message/mime_part.h"

namespace kz {

// How much of a message file a reader loads; a longer file is read only this far.
inline constexpr std::size_t kMaxLoadedMessage = std::size_t(64) << 20;

class MimeReader {
  public:
    MimeReader() = default;
    MimeReader(const MimeReader&) = delete;
    MimeReader& operator=(const MimeReader&) = delete;

    // Reads the file up to `limit` bytes, NUL bytes included; a missing, empty or
    // unreadable file gives an empty text. With normalisation every bare line feed becomes
    // CR LF.
    void loadFile(std::string_view path, bool normaliseLineEnds = true,
                  std::size_t limit = kMaxLoadedMessage);
    void loadText(std::string text, bool normaliseLineEnds = true);

    const std::string& text() const { return text_; }
    std::string_view lineEnd() const { return lineEnd_; }  // "\r\n" or "\n"
    // Position of the blank line that ends the headers, if there is one.
    std::optional<std::size_t> headerEnd() const { return headerEnd_; }
    // The text before the blank line; empty without one.
    std::string_view headerBlock() const;
    // The text after the blank line; the whole text without one.
    std::string_view body() const;

    const std::vector<HeaderEntry>& headers();
    // The first parts of the message, at most kMaxListedParts + 1.
    const std::vector<MimePart>& parts();
    // Hands every leaf part to `visit` in message order, with whether parts() lists it;
    // past the list only part headers are read. False when parts may have gone unseen: a
    // container nested too deep to be opened, or a file cut at the load limit inside a
    // container.
    bool forEachPart(const std::function<void(const MimePart&, bool listed)>& visit);
    // Transfer-decoded and converted to UTF-8 from the part's charset when that is known;
    // empty when the message has no such part.
    const std::string& plainTextBody();
    const std::string& htmlBody();

  private:
    void reset();
    const MimePart* plainTextPart();
    const MimePart* partOfType(std::string_view contentType);

    std::string text_;
    bool cut_ = false;  // the file goes on past the text
    std::string_view lineEnd_ = "\r\n";
    std::optional<std::size_t> headerEnd_;
    std::optional<std::vector<HeaderEntry>> headers_;
    std::optional<std::vector<MimePart>> parts_;
    std::optional<std::string> plainText_;
    std::optional<std::string> html_;
};

// Turns every line feed that does not follow a carriage return into CR LF, in one pass.
std::string NormaliseLineEnds(std::string_view text);

}  // namespace kz
