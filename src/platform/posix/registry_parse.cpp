// Reads .reg text as registry-editor exports write it.

#include <algorithm>

#include "platform/posix/registry_text.h"

namespace kz::platform {

namespace {

constexpr std::string_view kHeaderV5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderV4 = "REGEDIT4";

RegResult malformed(std::size_t line, const std::string& what) {
    return {RegStatus::Malformed, "line " + std::to_string(line) + ": " + what};
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Nothing but blanks or a comment.
bool isEmptyRest(std::string_view rest) {
    rest = trim(rest);
    return rest.empty() || rest.front() == ';';
}

std::string_view beforeComment(std::string_view s) {
    return trim(s.substr(0, s.find(';')));
}

std::optional<uint32_t> parseHexNumber(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    uint32_t number = 0;
    for (char c : digits) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0) return std::nullopt;
        number = number << 4 | uint32_t(digit);
    }
    return number;
}

// Text as UTF-8 (or ANSI) bytes, whatever encoding the file came in.
RegResult decodeText(std::string_view bytes, std::string& text) {
    if (bytes.starts_with("\xFF\xFE")) {
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            return {RegStatus::Malformed, "UTF-16 text with an odd number of bytes"};
        }
        text = reg::utf16leToUtf8(bytes);
        return {};
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return {RegStatus::Malformed, "big-endian UTF-16 text is not supported"};
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    text.assign(bytes);
    return {};
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Reads a quoted string at `pos` with its \\ and \" escapes; false when unterminated.
bool readQuoted(std::string_view line, std::size_t& pos, std::string& out) {
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
            c = line[++pos];
        }
        out.push_back(c);
    }
    return false;
}

bool isTextType(RegType type) {
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

class Parser {
  public:
    Parser(std::vector<std::string_view> lines, std::vector<RegKey>& out)
        : lines_(std::move(lines)), out_(out) {}

    RegResult run() {
        RegResult result = header();
        while (result.ok() && next_ < lines_.size()) {
            lineNumber_ = ++next_;
            std::string_view line = trim(lines_[next_ - 1]);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                result = section(line);
            } else if (line.front() == '"' || line.front() == '@') {
                result = value(line);
            } else {
                result = malformed(lineNumber_, "unexpected text '" + std::string(line) + "'");
            }
        }
        return result;
    }

    RegFormat format() const { return wideText_ ? RegFormat::Version5 : RegFormat::Regedit4; }

  private:
    RegResult header() {
        while (next_ < lines_.size() && trim(lines_[next_]).empty()) ++next_;
        if (next_ == lines_.size()) return {};  // an empty file is an empty registry
        std::string_view line = trim(lines_[next_++]);
        if (line == kHeaderV5) return {};
        if (line == kHeaderV4) {
            wideText_ = false;
            return {};
        }
        return malformed(next_, "not a registry file: the first line must be \"" +
                                    std::string(kHeaderV5) + "\" or \"" + std::string(kHeaderV4) +
                                    "\"");
    }

    RegResult section(std::string_view line) {
        if (line.back() != ']') return malformed(lineNumber_, "key name without closing ']'");
        std::string_view inner = line.substr(1, line.size() - 2);
        bool remove = !inner.empty() && inner.front() == '-';
        if (remove) inner.remove_prefix(1);
        if (!reg::isSameOrBelow(inner, "HKEY_LOCAL_MACHINE") &&
            !reg::isSameOrBelow(inner, "HKLM")) {
            return malformed(lineNumber_, "only keys under HKEY_LOCAL_MACHINE can be held, not '" +
                                              std::string(inner) + "'");
        }
        std::string path = normalizeRegKeyPath(inner);
        if (path.find("\\\\") != std::string::npos) {
            return malformed(lineNumber_, "empty key name in '" + std::string(inner) + "'");
        }
        out_.push_back(RegKey{std::move(path), remove, {}, {}});
        return {};
    }

    RegResult value(std::string_view line) {
        std::string name;
        std::size_t pos = 1;  // after '@'
        if (line.front() == '"') {
            pos = 0;
            if (!readQuoted(line, pos, name)) {
                return malformed(lineNumber_, "value name without closing '\"'");
            }
        }
        std::string_view rest = trim(line.substr(pos));
        if (rest.empty() || rest.front() != '=') {
            return malformed(lineNumber_, "'=' expected after the value name");
        }
        rest = trim(rest.substr(1));
        if (out_.empty()) return malformed(lineNumber_, "value outside of a key section");
        RegKey& key = out_.back();
        if (key.remove) return malformed(lineNumber_, "value in a key deletion section");
        if (!rest.empty() && rest.front() == '-' && isEmptyRest(rest.substr(1))) {
            removeValue(key, name);
            return {};
        }
        RegValue parsed{std::move(name), RegType::None, {}};
        RegResult result = data(rest, parsed);
        if (result.ok()) storeValue(key, std::move(parsed));
        return result;
    }

    RegResult data(std::string_view rest, RegValue& out) {
        if (!rest.empty() && rest.front() == '"') return stringData(rest, out);
        std::size_t colon = rest.find(':');
        std::string_view tag = trim(rest.substr(0, colon));
        if (colon == std::string_view::npos) {
            return malformed(lineNumber_, "unknown value type '" + std::string(rest) + "'");
        }
        std::string_view payload = rest.substr(colon + 1);
        if (reg::namesEqual(tag, "dword")) return dwordData(payload, out);
        if (reg::namesEqual(tag, "hex")) {
            out.type = RegType::Binary;
            return hexData(payload, out);
        }
        std::optional<uint32_t> type;
        if (startsWithIgnoreCase(tag, "hex(") && tag.back() == ')') {
            type = parseHexNumber(trim(tag.substr(4, tag.size() - 5)), 8);
        }
        if (!type || *type > uint32_t(RegType::Qword)) {
            return malformed(lineNumber_, "unknown value type '" + std::string(tag) + "'");
        }
        out.type = RegType(*type);
        return hexData(payload, out);
    }

    RegResult stringData(std::string_view rest, RegValue& out) {
        std::size_t pos = 0;
        std::string text;
        if (!readQuoted(rest, pos, text))
            return malformed(lineNumber_, "string without closing '\"'");
        if (!isEmptyRest(rest.substr(pos))) {
            return malformed(lineNumber_, "unexpected text after the string");
        }
        out = RegValue::fromString(std::move(out.name), text);
        return {};
    }

    RegResult dwordData(std::string_view payload, RegValue& out) {
        std::string_view digits = beforeComment(payload);
        std::optional<uint32_t> number = parseHexNumber(digits, 8);
        if (!number) {
            return malformed(lineNumber_, "dword needs 1 to 8 hexadecimal digits, not '" +
                                              std::string(digits) + "'");
        }
        out = RegValue::fromDword(std::move(out.name), *number);
        return {};
    }

    RegResult hexData(std::string_view payload, RegValue& out) {
        std::string joined = continuedHex(payload);
        std::string_view list = beforeComment(joined);
        while (!list.empty()) {
            std::size_t comma = list.find(',');
            std::string_view item = trim(list.substr(0, comma));
            std::optional<uint32_t> byte = parseHexNumber(item, 2);
            if (!byte) {
                return malformed(lineNumber_, "bad byte '" + std::string(item) + "' in hex data");
            }
            out.data.push_back(uint8_t(*byte));
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
            list = trim(list);  // a trailing comma ends the list
        }
        if (wideText_ && isTextType(out.type) && out.data.size() % 2 == 0) {
            std::string text = reg::utf16leToUtf8(
                {reinterpret_cast<const char*>(out.data.data()), out.data.size()});
            out.data.assign(text.begin(), text.end());
        }
        return {};
    }

    // Hex data continues on the next line while a line ends with a backslash.
    std::string continuedHex(std::string_view payload) {
        std::string joined(trim(payload));
        while (!joined.empty() && joined.back() == '\\' && next_ < lines_.size()) {
            joined.pop_back();
            joined += trim(lines_[next_++]);
        }
        if (!joined.empty() && joined.back() == '\\') joined.pop_back();
        return joined;
    }

    static void removeValue(RegKey& key, const std::string& name) {
        std::erase_if(key.values, [&](const RegValue& v) { return reg::namesEqual(v.name, name); });
        if (std::none_of(key.removedValues.begin(), key.removedValues.end(),
                         [&](const std::string& n) { return reg::namesEqual(n, name); })) {
            key.removedValues.push_back(name);
        }
    }

    static void storeValue(RegKey& key, RegValue value) {
        std::erase_if(key.removedValues,
                      [&](const std::string& n) { return reg::namesEqual(n, value.name); });
        for (RegValue& existing : key.values) {
            if (reg::namesEqual(existing.name, value.name)) {
                existing.type = value.type;
                existing.data = std::move(value.data);
                return;
            }
        }
        key.values.push_back(std::move(value));
    }

    std::vector<std::string_view> lines_;
    std::vector<RegKey>& out_;
    std::size_t next_ = 0;        // index of the next line to read
    std::size_t lineNumber_ = 0;  // 1-based number of the line being parsed
    bool wideText_ = true;        // version 5 files hold hex text in UTF-16LE
};

}  // namespace

RegResult parseRegText(std::string_view bytes, std::vector<RegKey>& out, RegFormat* format) {
    std::string text;
    RegResult result = decodeText(bytes, text);
    if (!result.ok()) return result;
    std::vector<RegKey> keys;
    Parser parser(splitLines(text), keys);
    result = parser.run();
    if (!result.ok()) return result;
    out = std::move(keys);
    if (format) *format = parser.format();
    return result;
}

}  // namespace kz::platform
