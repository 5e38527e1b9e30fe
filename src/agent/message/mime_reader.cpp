#include "message/mime_reader.h"

#include <optional>

#include "base/ascii.h"
#include "message/mime_charset.h"
#include "message/mime_part_list.h"
#include "message/transfer_decode.h"
#include "platform/files.h"

namespace kz {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLf = "\n";

bool hasBareLineFeed(std::string_view text) {
    for (std::size_t pos = text.find('\n'); pos != std::string_view::npos;
         pos = text.find('\n', pos + 1)) {
        if (pos == 0 || text[pos - 1] != '\r') return true;
    }
    return false;
}

std::string decodeBody(const MimePart* part) {
    if (!part) return {};
    std::string decoded = TransferDecode(part->content, part->transferEncoding);
    if (auto utf8 = CharsetToUtf8(decoded, part->charset)) return std::move(*utf8);
    return decoded;
}

}  // namespace

std::string NormaliseLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    char previous = '\0';
    for (char c : text) {
        if (c == '\n' && previous != '\r') out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

void MimeReader::reset() {
    text_.clear();
    cut_ = false;
    lineEnd_ = kCrLf;
    headerEnd_.reset();
    headers_.reset();
    parts_.reset();
    plainText_.reset();
    html_.reset();
}

void MimeReader::loadFile(std::string_view path, bool normaliseLineEnds, std::size_t limit) {
    std::optional<platform::FilePrefix> content = platform::readFilePrefix(path, limit);
    loadText(content ? std::move(content->text) : std::string(), normaliseLineEnds);
    cut_ = content && content->cut;
}

void MimeReader::loadText(std::string text, bool normaliseLineEnds) {
    reset();
    text_ = std::move(text);
    if (normaliseLineEnds && hasBareLineFeed(text_)) text_ = NormaliseLineEnds(text_);
    std::size_t blank = text_.find("\r\n\r\n");
    if (blank != std::string::npos) {
        lineEnd_ = kCrLf;
        headerEnd_ = blank;
        return;
    }
    lineEnd_ = kLf;
    blank = text_.find("\n\n");
    if (blank != std::string::npos) headerEnd_ = blank;
}

std::string_view MimeReader::headerBlock() const {
    if (!headerEnd_) return {};
    return std::string_view(text_).substr(0, *headerEnd_);
}

std::string_view MimeReader::body() const {
    if (!headerEnd_) return text_;
    return std::string_view(text_).substr(*headerEnd_ + 2 * lineEnd_.size());
}

const std::vector<HeaderEntry>& MimeReader::headers() {
    if (!headers_) headers_ = ParseHeaderList(headerBlock());
    return *headers_;
}

const std::vector<MimePart>& MimeReader::parts() {
    if (!parts_) {
        parts_ = text_.empty() ? std::vector<MimePart>()
                               : BuildPartList(headerBlock(), body(), lineEnd_);
    }
    return *parts_;
}

bool MimeReader::forEachPart(const std::function<void(const MimePart&, bool listed)>& visit) {
    if (text_.empty()) return true;
    std::vector<MimePart> listed;
    std::size_t count = 0;
    PartWalkEnd end = WalkParts(headerBlock(), body(), lineEnd_, [&](MimePart&& part) {
        const bool inList = count++ <= kMaxListedParts;
        visit(part, inList);
        if (inList && !parts_) listed.push_back(std::move(part));
        return true;
    });
    if (!parts_) parts_ = std::move(listed);
    return !end.depthBound && !(cut_ && end.openAtEnd);
}

const MimePart* MimeReader::partOfType(std::string_view contentType) {
    for (const MimePart& part : parts()) {
        if (equalsIgnoreCase(part.contentType, contentType)) return &part;
    }
    return nullptr;
}

const MimePart* MimeReader::plainTextPart() {
    if (const MimePart* plain = partOfType("text/plain")) return plain;
    // Messages that do not declare MIME may label their text with an empty type.
    if (FindFirstHeader(headers(), "MIME-Version")) return nullptr;
    return partOfType("");
}

const std::string& MimeReader::plainTextBody() {
    if (!plainText_) plainText_ = decodeBody(plainTextPart());
    return *plainText_;
}

const std::string& MimeReader::htmlBody() {
    if (!html_) html_ = decodeBody(partOfType("text/html"));
    return *html_;
}

}  // namespace kz
