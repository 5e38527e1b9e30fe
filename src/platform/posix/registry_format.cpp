// Writes .reg text in the form registry-editor exports use, so administrators can read,
// edit and import it with their usual tools.

#include <algorithm>

#include "platform/posix/registry_text.h"

namespace kz::platform {

namespace {

constexpr std::size_t kLineWidth = 80;
constexpr char kHexDigits[] = "0123456789abcdef";

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A REG_SZ that a quoted string gives back exactly: one terminating NUL, no line break.
bool isPlainString(const RegValue& value) {
    const auto& d = value.data;
    return value.type == RegType::Sz && !d.empty() && d.back() == 0 &&
           std::find(d.begin(), d.end() - 1, 0) == d.end() - 1 &&
           std::find(d.begin(), d.end(), '\n') == d.end() &&
           std::find(d.begin(), d.end(), '\r') == d.end();
}

std::string hexByte(uint8_t byte) {
    return {kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
}

std::string typeTag(RegType type) {
    if (type == RegType::Binary) return "hex:";
    std::string digits;
    for (uint32_t n = uint32_t(type); digits.empty() || n != 0; n >>= 4) {
        digits.insert(digits.begin(), kHexDigits[n & 0xF]);
    }
    return "hex(" + digits + "):";
}

// Comma-separated bytes, continued with a backslash before a line would pass 80 columns.
void appendHex(std::string& line, std::string_view bytes) {
    std::size_t column = line.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bool last = i + 1 == bytes.size();
        if (i > 0 && column + 3 + (last ? 0 : 1) > kLineWidth) {
            line += "\\\n  ";
            column = 2;
        }
        line += hexByte(uint8_t(bytes[i]));
        if (!last) line.push_back(',');
        column += last ? 2 : 3;
    }
}

std::string formatValue(const RegValue& value, RegFormat format) {
    std::string line = value.name.empty() ? "@=" : quoted(value.name) + "=";
    if (isPlainString(value)) return line + quoted(value.asString());
    if (value.type == RegType::Dword && value.data.size() == 4) {
        line += "dword:";
        for (int i = 3; i >= 0; --i) line += hexByte(value.data[std::size_t(i)]);
        return line;
    }
    std::string_view bytes(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    std::string wide;
    bool text = value.type == RegType::Sz || value.type == RegType::ExpandSz ||
                value.type == RegType::MultiSz;
    if (text && format == RegFormat::Version5) {
        wide = reg::utf8ToUtf16le(bytes);
        bytes = wide;
    }
    line += typeTag(value.type);
    appendHex(line, bytes);
    return line;
}

}  // namespace

std::string formatRegText(const std::vector<RegKey>& keys, RegFormat format) {
    std::string out =
        format == RegFormat::Regedit4 ? "REGEDIT4\n" : "Windows Registry Editor Version 5.00\n";
    for (const RegKey& key : keys) {
        out += key.remove ? "\n[-HKEY_LOCAL_MACHINE" : "\n[HKEY_LOCAL_MACHINE";
        if (!key.path.empty()) out += "\\" + key.path;
        out += "]\n";
        for (const std::string& name : key.removedValues) {
            out += (name.empty() ? "@" : quoted(name)) + "=-\n";
        }
        for (const RegValue& value : key.values) out += formatValue(value, format) + "\n";
    }
    out += "\n";
    return out;
}

}  // namespace kz::platform
