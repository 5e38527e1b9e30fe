// The line-by-line scan: raw header lines, boundary lines and part headers in the body,
// encoded blocks of non-MIME mail, then the bodies through the MIME reader.

#include <istream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ascii.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "evaluate/evaluators_text.h"
#include "evaluate/link_check.h"
#include "evaluate/scan.h"
#include "evaluate/scan_attachments.h"
#include "evaluate/scan_delimiters.h"
#include "evaluate/scan_loop_check.h"
#include "evaluate/scan_prologue.h"
#include "evaluate/scan_values.h"
#include "log/trace.h"
#include "message/mime_line_params.h"
#include "message/mime_reader.h"
#include "message/scan_line_reader.h"
#include "platform/files.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kBoundaryLimit{1024};
constexpr TextLimit kAttachmentNameLimit{1023};
// Names of part header lines kept so that the parts' decoded names do not count twice;
// beyond this many a name may count twice, but none goes unchecked.
constexpr std::size_t kMaxRememberedNames = 1000;

// The text after the first ":" with leading blanks and tabs skipped, line end included.
std::string_view headerValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    std::size_t start = colon + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    return line.substr(start);
}

bool beginsLineBreak(std::string_view text) {
    return !text.empty() && (text.front() == '\r' || text.front() == '\n');
}

class PlainScan {
  public:
    explicit PlainScan(Evaluation& evaluation)
        : evaluation_(evaluation),
          loopCheck_(evaluation.message()->messageId),
          spfSetting_(config::SpfHeaderCheck()),
          linkChecks_(config::PerformSblRbl() != 0) {}

    // The line pass; false for the agent's own message, whose reading stops with its
    // header block.
    bool readLines(std::istream& in) {
        BoundedLineReader reader(in);
        ScanLine line;
        bool haveLine = reader.next(line);
        while (haveLine) {
            if (inBody_) {
                bodyLine(line);
                haveLine = reader.next(line);
                continue;
            }
            switch (headerLine(reader, line)) {
                case Next::Read:
                    haveLine = reader.next(line);
                    break;
                case Next::Ahead:
                    break;
                case Next::EndOfFile:
                    haveLine = false;
                    break;
                case Next::Filtered:
                    return false;
            }
        }
        return !loopCheck_.ownMessage();
    }

    // The line pass knows only the top-level boundary and literal parameters; the MIME
    // reader's parts give the names at every nesting level, decoded. A name the line pass
    // has already evaluated as it stands is not evaluated again.
    void evaluatePartNames(MimeReader& reader) {
        const bool allParts = reader.forEachPart([this](const MimePart& part, bool) {
            std::vector<std::string> names = AttachmentNames(part);
            std::erase_if(names, [this](const std::string& name) { return takeLineName(name); });
            if (names.empty()) return;
            for (const std::string& name : names) log::Trace("Attachment Found:%s\n", name.c_str());
            evaluation_.offerPresence(true);
            evaluation_.offerAttachmentNames(names, kPlainAttachmentNameDelimiters);
        });
        if (!allParts) HoldAttachmentCriteriaOfHiddenParts(evaluation_);
    }

    // The Received-SPF line kept for the last-header setting, evaluated once at the end.
    void evaluateKeptSpf() {
        if (!keptSpf_) return;
        evaluation_.offer(SPF, headerValue(*keptSpf_), kWordDelimiters);
        keptSpf_.reset();
    }

  private:
    enum class Next { Read, Ahead, EndOfFile, Filtered };

    struct AddressHeader {
        CriterionType kind;
        const char* trace;
    };

    Next headerLine(BoundedLineReader& reader, ScanLine& line) {
        const std::string_view text = line.text;
        if (line.startsLine) loopCheck_.noteLine(text);
        if (findIgnoreCase(text, "boundary=") != std::string_view::npos) takeBoundary(text);
        if (line.startsLine) {
            if (startsWithIgnoreCase(text, "From:")) {
                return addressHeader(reader, line, {FROM, "From Found:%s\n"});
            }
            if (startsWithIgnoreCase(text, "To:")) {
                return addressHeader(reader, line, {TO, "To Found:%s\n"});
            }
            if (startsWithIgnoreCase(text, "Cc:")) {
                return addressHeader(reader, line, {CC, nullptr});
            }
            namedHeader(text);
        }
        evaluation_.offer(HEADERS_CONTAIN, text, kWordDelimiters);
        // Only a line of its own ends the headers, not the line end of a long line's
        // last piece.
        if (line.startsLine && beginsLineBreak(text)) inBody_ = true;
        return inBody_ && loopCheck_.ownMessage() ? Next::Filtered : Next::Read;
    }

    void takeBoundary(std::string_view line) {
        std::string value;
        if (!ExtractLineParameter(line, "boundary=", value, kBoundaryLimit)) return;
        boundaryMarker_ = "--" + value;
        mime_ = true;
        log::Trace("Mime Encapsulatation detected\n");
    }

    // From, To and Cc with their continuation lines; reads ahead for the continuation.
    Next addressHeader(BoundedLineReader& reader, ScanLine& line, AddressHeader header) {
        std::string value(headerValue(line.text));
        if (header.trace) log::Trace(header.trace, value.c_str());
        for (;;) {
            evaluation_.offer(header.kind, value, kAddressDelimiters);
            if (header.kind != FROM) {
                evaluation_.offer(TOorCC, value, kAddressDelimiters);
            }
            evaluation_.offer(HEADERS_CONTAIN, line.text, kWordDelimiters);
            if (!reader.next(line)) return Next::EndOfFile;
            const bool continuation = line.startsLine && !line.text.empty() &&
                                      (line.text.front() == ' ' || line.text.front() == '\t');
            if (!continuation) return Next::Ahead;
            value = line.text;
        }
    }

    // The single-line headers, each on this line alone.
    void namedHeader(std::string_view line) {
        if (startsWithIgnoreCase(line, "Subject:")) {
            evaluation_.offer(SUBJECT, headerValue(line), kWordDelimiters);
        }
        if (startsWithIgnoreCase(line, "X-MSMail-Priority:")) {
            evaluation_.offer(PRIORITY, headerValue(line), kWordDelimiters);
        }
        if (startsWithIgnoreCase(line, "X-Priority:")) {
            EvaluateXPriority(evaluation_, headerValue(line));
        }
        if (startsWithIgnoreCase(line, "Received-SPF:")) receivedSpf(line);
        if (startsWithIgnoreCase(line, "X-KZ-CountryOrigin:")) {
            EvaluateCountryOrigin(evaluation_, headerValue(line));
        }
    }

    // 1 keeps the last line for the end; 0 takes the first; any other value every one.
    void receivedSpf(std::string_view line) {
        if (spfSettled_) return;
        if (spfSetting_ == 1) {
            keptSpf_ = std::string(line);
            return;
        }
        evaluation_.offer(SPF, headerValue(line), kWordDelimiters);
        if (spfSetting_ == 0) spfSettled_ = true;
    }

    void bodyLine(const ScanLine& line) {
        const std::string_view text = line.text;
        if (linkChecks_) CheckLinks(evaluation_, lookups_, text);
        if (mime_) {
            partHeaderLine(line);
        } else {
            encodedBlockLine(text);
        }
    }

    void encodedBlockLine(std::string_view text) {
        if (equalsIgnoreCase(text, "begin \r\n")) encodedBlock_ = true;
        if (encodedBlock_ && findIgnoreCase(text, "name=\"") != std::string_view::npos) {
            const std::string copy(text);
            log::Trace("Binhex Attachment Found:%s\n", copy.c_str());
            evaluation_.offerPresence(NamesAnAttachment(text));
            evaluation_.offerAttachmentLine(text, kEncodedBlockDelimiters);
        }
        if (equalsIgnoreCase(text, "end \r\n")) encodedBlock_ = false;
    }

    void partHeaderLine(const ScanLine& line) {
        const std::string_view text = line.text;
        if (partHeaders_) {
            if (line.startsLine && (text.empty() || beginsLineBreak(text))) partHeaders_ = false;
        } else if (text.find(boundaryMarker_) != std::string_view::npos) {
            partHeaders_ = true;
        }
        if (!partHeaders_) return;
        evaluation_.offer(BOUNDARYHEADERS_CONTAIN, text, kWordDelimiters);
        std::string name;
        if (ExtractAttachmentParameter(text, "filename", name, kAttachmentNameLimit) ||
            ExtractAttachmentParameter(text, "name", name, kAttachmentNameLimit)) {
            rememberLineName(std::move(name));
            const std::string copy(text);
            log::Trace("Attachment Found:%s\n", copy.c_str());
            evaluation_.offerPresence(NamesAnAttachment(text));
            evaluation_.offerAttachmentLine(text, kPlainAttachmentNameDelimiters);
        }
        if (findIgnoreCase(text, "Content-Transfer-Encoding: ") != std::string_view::npos &&
            findIgnoreCase(text, "base64") != std::string_view::npos) {
            log::Trace("Skipping encoded attachment\n");
        }
    }

    void rememberLineName(std::string name) {
        if (rememberedNames_ < kMaxRememberedNames) {
            ++lineNames_[std::move(name)];
            ++rememberedNames_;
        }
    }

    // Whether the line pass evaluated this name; each evaluation answers for one name.
    bool takeLineName(const std::string& name) {
        auto it = lineNames_.find(name);
        if (it == lineNames_.end()) return false;
        if (--it->second == 0) lineNames_.erase(it);
        return true;
    }

    Evaluation& evaluation_;
    LoopCheck loopCheck_;
    const uint32_t spfSetting_;
    const bool linkChecks_;
    filters::LinkLookups lookups_;
    bool inBody_ = false;
    bool mime_ = false;
    bool partHeaders_ = false;
    bool encodedBlock_ = false;
    bool spfSettled_ = false;
    std::string boundaryMarker_;
    std::optional<std::string> keptSpf_;
    std::unordered_map<std::string, int> lineNames_;
    std::size_t rememberedNames_ = 0;
};

// Reads a held message's text in place, as a file stream would read its file.
class TextBuffer : public std::streambuf {
  public:
    explicit TextBuffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());  // only ever read
        setg(begin, begin, begin + text.size());
    }
};

}  // namespace

bool ScanMessagePlain(Evaluation& evaluation) {
    log::Trace("Processing Message... \r\n");
    const std::string path = RunScanPrologue(evaluation);
    log::Trace("Processing Message Content... \r\n");

    const std::string* held = evaluation.message()->heldText;
    PlainScan scan(evaluation);
    bool scanned = false;
    bool ownMessage = false;
    std::optional<TextBuffer> heldBuffer;
    std::optional<std::istream> heldStream;
    std::unique_ptr<std::istream> file;
    std::istream* in = nullptr;
    if (held) {
        heldStream.emplace(&heldBuffer.emplace(*held));
        in = &*heldStream;
    } else if (!path.empty()) {
        file = platform::openInputStream(path);
        in = file.get();
    }
    if (in) {
        ownMessage = !scan.readLines(*in);
        scanned = !ownMessage;
        file.reset();
        if (scanned) {
            MimeReader reader;
            if (held)
                reader.loadText(*held, true);
            else
                reader.loadFile(path, true);
            scan.evaluatePartNames(reader);
            EvaluateBodies(evaluation, reader);
        }
    }
    scan.evaluateKeptSpf();
    return ownMessage ? OwnMessageResult(evaluation) : scanned;
}

}  // namespace kz::evaluate
