#include "platform/txt_message.h"

namespace kz::platform {

namespace {

constexpr uint16_t kTxt = 16, kCname = 5, kInternet = 1;
constexpr std::size_t kHeader = 12;

uint16_t word(std::string_view message, std::size_t at) {
    return uint16_t(uint8_t(message[at]) << 8 | uint8_t(message[at + 1]));
}

// The offset after the name at `at`, or npos when it runs past the message.
std::size_t skipName(std::string_view message, std::size_t at) {
    while (at < message.size()) {
        const uint8_t length = uint8_t(message[at]);
        if (length == 0) return at + 1;
        if ((length & 0xc0) == 0xc0)
            return at + 2 <= message.size() ? at + 2 : std::string_view::npos;
        if (length & 0xc0) return std::string_view::npos;
        at += 1 + length;
    }
    return std::string_view::npos;
}

DnsAnswer withStatus(DnsAnswer::Status status) {
    DnsAnswer answer;
    answer.status = status;
    return answer;
}

DnsAnswer failed() {
    return withStatus(DnsAnswer::Status::Failed);
}

}  // namespace

std::string txtQuery(std::string_view name, uint16_t id) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    if (name.empty() || name.size() > 253) return {};
    std::string query = {char(id >> 8), char(id), 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    while (!name.empty()) {
        const std::size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty() || label.size() > 63) return {};
        query += char(label.size());
        query += label;
        name = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    }
    query += std::string{0, 0, char(kTxt), 0, char(kInternet)};
    return query;
}

DnsAnswer txtAnswer(std::string_view message, uint16_t id, bool anyId) {
    if (message.size() < kHeader || (!anyId && word(message, 0) != id) ||
        !(uint8_t(message[2]) & 0x80))
        return failed();
    const unsigned rcode = uint8_t(message[3]) & 0x0f;
    uint16_t questions = word(message, 4), answers = word(message, 6);
    if (questions == 0) return failed();
    std::size_t at = kHeader;
    for (; questions > 0; --questions) {
        at = skipName(message, at);
        if (at == std::string_view::npos || at + 4 > message.size()) return failed();
        if (word(message, at) != kTxt || word(message, at + 2) != kInternet) return failed();
        at += 4;
    }
    if (rcode == 3) return withStatus(DnsAnswer::Status::NoRecords);
    if (uint8_t(message[2]) & 0x02) return failed();  // truncated
    if (answers == 0) return withStatus(DnsAnswer::Status::NoRecords);
    DnsAnswer found = withStatus(DnsAnswer::Status::Records);
    for (; answers > 0; --answers) {
        at = skipName(message, at);
        if (at == std::string_view::npos || at + 10 > message.size()) return failed();
        const uint16_t type = word(message, at), length = word(message, at + 8);
        at += 10;
        if (at + length > message.size()) return failed();
        if (type == kCname) {
            at += length;
            continue;
        }
        if (type != kTxt) return failed();
        // What follows the first record makes a second: the record is not used.
        if (answers > 1) found.texts.emplace_back();
        std::string text;
        for (std::size_t part = at; part < at + length;) {
            const std::size_t size = uint8_t(message[part]);
            text.append(message.substr(part + 1, std::min(size, at + length - part - 1)));
            part += 1 + size;
        }
        found.texts.insert(found.texts.begin(), std::move(text));
        return found;
    }
    return failed();  // only aliases: the name they lead to was not resolved
}

}  // namespace kz::platform
