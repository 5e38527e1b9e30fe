#include "platform/environment.h"
#include "platform/registry.h"

namespace kz::platform {

RegValue RegValue::fromString(std::string name, std::string_view text) {
    RegValue value{std::move(name), RegType::Sz, {}};
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return value;
}

RegValue RegValue::fromDword(std::string name, uint32_t number) {
    RegValue value{std::move(name), RegType::Dword, {}};
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(uint8_t(number >> shift));
    return value;
}

std::string RegValue::asString() const {
    std::string text;
    for (uint8_t byte : data) {
        if (byte == 0) break;
        text.push_back(char(byte));
    }
    return text;
}

std::string RegValue::expandedString() const {
    std::string text = asString();
    return type == RegType::ExpandSz ? expandEnvironmentText(text) : text;
}

std::optional<uint32_t> RegValue::asDword() const {
    // A short value fills the low bytes, as a 4-byte query of it would.
    if (data.empty() || data.size() > 4) return std::nullopt;
    uint32_t number = 0;
    for (std::size_t i = 0; i < data.size(); ++i) number |= uint32_t(data[i]) << (8 * i);
    return number;
}

// Both stores write through setValue.
RegResult Registry::setString(std::string_view key, std::string_view name, std::string_view text) {
    return setValue(key, RegValue::fromString(std::string(name), text));
}

RegResult Registry::setDword(std::string_view key, std::string_view name, uint32_t value) {
    return setValue(key, RegValue::fromDword(std::string(name), value));
}

}  // namespace kz::platform
