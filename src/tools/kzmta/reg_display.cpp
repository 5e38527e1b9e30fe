#include "reg_display.h"

#include <charconv>

namespace kz::tool {

using platform::RegType;
using platform::RegValue;

namespace {

// Little-endian (or big-endian) number of exactly `size` bytes.
std::optional<uint64_t> fixedNumber(const RegValue& value, std::size_t size, bool bigEndian) {
    if (value.data.size() != size) return std::nullopt;
    uint64_t number = 0;
    for (std::size_t i = 0; i < size; ++i) {
        std::size_t at = bigEndian ? i : size - 1 - i;
        number = number << 8 | value.data[at];
    }
    return number;
}

std::string multiStringText(const RegValue& value) {
    std::string text;
    std::string current;
    for (uint8_t byte : value.data) {
        if (byte != 0) {
            current.push_back(char(byte));
            continue;
        }
        if (current.empty()) break;  // the empty string ends the list
        text += text.empty() ? current : "\n" + current;
        current.clear();
    }
    if (!current.empty()) text += text.empty() ? current : "\n" + current;
    return text;
}

std::string hexBytes(const RegValue& value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : value.data) {
        if (!text.empty()) text.push_back(',');
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

}  // namespace

std::string regTypeName(RegType type) {
    switch (type) {
        case RegType::None:
            return "REG_NONE";
        case RegType::Sz:
            return "REG_SZ";
        case RegType::ExpandSz:
            return "REG_EXPAND_SZ";
        case RegType::Binary:
            return "REG_BINARY";
        case RegType::Dword:
            return "REG_DWORD";
        case RegType::DwordBigEndian:
            return "REG_DWORD_BIG_ENDIAN";
        case RegType::Link:
            return "REG_LINK";
        case RegType::MultiSz:
            return "REG_MULTI_SZ";
        case RegType::ResourceList:
            return "REG_RESOURCE_LIST";
        case RegType::FullResourceDescriptor:
            return "REG_FULL_RESOURCE_DESCRIPTOR";
        case RegType::ResourceRequirementsList:
            return "REG_RESOURCE_REQUIREMENTS_LIST";
        case RegType::Qword:
            return "REG_QWORD";
    }
    return "REG_TYPE_" + std::to_string(uint32_t(type));
}

std::string regValueText(const RegValue& value) {
    std::optional<uint64_t> number;
    switch (value.type) {
        case RegType::Sz:
        case RegType::ExpandSz:
            return value.asString();
        case RegType::MultiSz:
            return multiStringText(value);
        case RegType::Dword:
            number = fixedNumber(value, 4, false);
            break;
        case RegType::DwordBigEndian:
            number = fixedNumber(value, 4, true);
            break;
        case RegType::Qword:
            number = fixedNumber(value, 8, false);
            break;
        default:
            break;
    }
    return number ? std::to_string(*number) : hexBytes(value);
}

std::string regValueOneLine(const RegValue& value) {
    std::string line;
    for (char c : regValueText(value)) {
        switch (c) {
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line.push_back(c);
        }
    }
    return line;
}

std::optional<uint32_t> parseDwordArgument(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t number = 0;
    if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

}  // namespace kz::tool
