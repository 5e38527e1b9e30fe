#include "canonical_form.h"

#include "tag_list.h"

namespace kz::dkim {

namespace {

bool lineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

void appendRelaxedField(std::string& out, std::string_view field) {
    // The value ends at a NUL, as in the C string the Linux verifier keeps.
    field = field.substr(0, field.find('\0'));
    std::size_t at = 0;
    for (; at < field.size(); ++at) {
        const char c = field[at];
        if (lineSpace(c)) continue;
        out += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (c == ':') {
            ++at;
            break;
        }
    }
    while (at < field.size() && lineSpace(field[at])) ++at;
    bool space = false;
    for (; at < field.size(); ++at) {
        if (IsSpace(field[at])) {
            space = true;
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += field[at];
    }
}

// Simple body form: trailing empty lines dropped; a line of CRs counts as empty.
std::string simpleBody(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    std::size_t pendingBlanks = 0;
    std::size_t lineStart = 0;
    bool blankLine = true;
    char last = '\0';
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\n') {
            if (last == '\r') {
                if (blankLine)
                    ++pendingBlanks;
                else
                    out.append(body.substr(lineStart, i + 1 - lineStart));
                lineStart = i + 1;
                blankLine = true;
            }
        } else if (c != '\r') {
            for (; pendingBlanks > 0; --pendingBlanks) out += "\r\n";
            blankLine = false;
        }
        last = c;
    }
    std::string_view rest = body.substr(lineStart);
    if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
    out.append(rest);
    if (out.empty()) out = "\r\n";
    return out;
}

// Relaxed body form: runs of blanks become one space, blanks at line ends and trailing
// empty lines go. A CR not followed by LF is dropped before a blank or a character.
std::string relaxedBody(std::string_view body) {
    enum { lineStart, inBlanks, afterCr, inWord } state = lineStart;
    std::string out, word;
    out.reserve(body.size());
    std::size_t pendingBlanks = 0;
    bool blankLine = true;
    const auto flushBlanks = [&] {
        for (; pendingBlanks > 0; --pendingBlanks) out += "\r\n";
    };
    const auto flushWord = [&] {
        flushBlanks();
        out += word;
        word.clear();
    };
    for (const char c : body) {
        switch (state) {
            case lineStart:
                if (blank(c)) {
                    state = inBlanks;
                } else if (c == '\r') {
                    state = afterCr;
                } else {
                    blankLine = false;
                    word += c;
                    state = inWord;
                }
                break;
            case inBlanks:
                if (blank(c)) break;
                if (c == '\r') {
                    state = afterCr;
                } else {
                    flushBlanks();
                    out += ' ';
                    blankLine = false;
                    word += c;
                    state = inWord;
                }
                break;
            case afterCr:
                if (c == '\n') {
                    if (blankLine) {
                        ++pendingBlanks;
                    } else {
                        flushWord();
                        out += "\r\n";
                        blankLine = true;
                    }
                    state = lineStart;
                } else if (c == '\r') {
                    blankLine = false;
                    word += c;
                } else if (blank(c)) {
                    flushWord();
                    state = inBlanks;
                } else {
                    blankLine = false;
                    word += c;
                    state = inWord;
                }
                break;
            case inWord:
                if (blank(c)) {
                    flushWord();
                    state = inBlanks;
                } else if (c == '\r') {
                    state = afterCr;
                } else {
                    word += c;
                }
                break;
        }
    }
    return out;
}

}  // namespace

void AppendCanonicalField(std::string& out, std::string_view field, Canonicalization form,
                          bool lineEnd) {
    if (form == Canonicalization::simple)
        out += field;
    else
        appendRelaxedField(out, field);
    if (lineEnd) out += "\r\n";
}

std::string WithoutSignatureValue(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    std::string out;
    out.reserve(field.size());
    // The tag whose value is being read: the character before its "=".
    char tag = '\0', last = '\0';
    for (const char c : field) {
        if (c == ';') tag = '\0';
        if (tag == 'b') {
            last = c;
            continue;
        }
        if (tag == '\0' && c == '=') tag = last;
        out += c;
        last = c;
    }
    return out;
}

std::string CanonicalBody(std::string_view body, Canonicalization form) {
    return form == Canonicalization::simple ? simpleBody(body) : relaxedBody(body);
}

}  // namespace kz::dkim
