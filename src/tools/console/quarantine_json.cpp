// The quarantine's results as JSON (the command line's --json and the HTTP API alike) and
// as text for a terminal.

#include <chrono>
#include <cstdio>

#include "json_writer.h"
#include "printable_text.h"
#include "quarantine.h"

namespace kz::console {

namespace {

using tool::JsonWriter;
using tool::PrintableText;

void messageJson(JsonWriter& json, const HeldMessage& message) {
    json.beginObject()
        .member("id", message.id)
        .member("time", IsoUtc(message.time))
        .member("connector", message.connector)
        .member("sender", message.sender)
        .member("recipients", message.recipients)
        .member("subject", message.subject)
        .member("size", int64_t(message.size))
        .member("filters", message.filters)
        .member("milter", message.milter)
        .endObject();
}

std::string joined(const std::vector<std::string>& texts, std::string_view separator) {
    std::string out;
    for (const std::string& text : texts) {
        if (!out.empty()) out += separator;
        out += PrintableText(text, false);
    }
    return out;
}

}  // namespace

std::string IsoUtc(TimePoint time) {
    using namespace std::chrono;
    auto seconds = floor<std::chrono::seconds>(time);
    auto day = floor<days>(seconds);
    year_month_day date(day);
    hh_mm_ss clock(seconds - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

std::string ToJson(const std::vector<HeldMessage>& messages) {
    JsonWriter json;
    json.beginArray();
    for (const HeldMessage& message : messages) messageJson(json, message);
    json.endArray();
    return json.text() + "\n";
}

std::string ToJson(const HeldDetail& detail) {
    JsonWriter json;
    json.beginObject().key("message");
    messageJson(json, detail.message);
    json.member("envelope", detail.envelope).key("headers").beginArray();
    for (const HeaderEntry& header : detail.headers)
        json.beginObject().member("name", header.name).member("value", header.value).endObject();
    json.endArray().key("parts").beginArray();
    for (const MessagePart& part : detail.parts) {
        json.beginObject()
            .member("contentType", part.contentType)
            .member("charset", part.charset)
            .member("transferEncoding", part.transferEncoding)
            .member("dispositionType", part.dispositionType)
            .member("fileName", part.fileName)
            .member("size", int64_t(part.size))
            .endObject();
    }
    json.endArray()
        .member("textBody", detail.textBody)
        .member("htmlBody", detail.htmlBody)
        .member("reportLines", detail.reportLines)
        .endObject();
    return json.text() + "\n";
}

std::string ToJson(const ReleaseResult& result) {
    JsonWriter json;
    json.beginObject()
        .member("id", result.id)
        .member("route", result.route)
        .member("connector", result.connector)
        .member("queuedAs", result.queuedAs)
        .endObject();
    return json.text() + "\n";
}

std::string ToText(const std::vector<HeldMessage>& messages) {
    std::string out;
    for (const HeldMessage& message : messages) {
        out += message.id + "  " + IsoUtc(message.time) + "  " +
               (message.connector.empty() ? "-" : PrintableText(message.connector, false)) + "  " +
               std::to_string(message.size) + " bytes" + (message.milter ? "  (milter)" : "") +
               "\n  From: " + PrintableText(message.sender, false) +
               "\n  To: " + joined(message.recipients, ", ") + "\n  Subject: " + message.subject +
               "\n  Held by: " + (message.filters.empty() ? "-" : joined(message.filters, ", ")) +
               "\n";
    }
    out += std::to_string(messages.size()) + " held message" + (messages.size() == 1 ? "" : "s") +
           "\n";
    return out;
}

std::string ToText(const HeldDetail& detail) {
    std::string out = ToText(std::vector<HeldMessage>{detail.message});
    out.erase(out.rfind('\n', out.size() - 2) + 1);  // not the count of one
    out += "Envelope:\n";
    for (const std::string& line : detail.envelope) out += "  " + PrintableText(line, false) + "\n";
    out += "Report lines:\n";
    for (const std::string& line : detail.reportLines)
        out += "  " + PrintableText(line, false) + "\n";
    out += "Headers (" + std::to_string(detail.headers.size()) + "):\n";
    for (const HeaderEntry& header : detail.headers)
        out += "  " + PrintableText(header.name, false) + ": " +
               PrintableText(header.value, false) + "\n";
    out += "Parts (" + std::to_string(detail.parts.size()) + "):\n";
    int number = 0;
    for (const MessagePart& part : detail.parts) {
        out += "  " + std::to_string(++number) + ". " + PrintableText(part.contentType, false);
        if (!part.charset.empty()) out += ", charset " + PrintableText(part.charset, false);
        if (!part.transferEncoding.empty())
            out += ", transfer encoding " + PrintableText(part.transferEncoding, false);
        if (!part.dispositionType.empty())
            out += ", disposition " + PrintableText(part.dispositionType, false);
        if (!part.fileName.empty()) out += ", file name " + PrintableText(part.fileName, false);
        out += ", " + std::to_string(part.size) + " bytes\n";
    }
    return out + tool::TitledBody("Text body", detail.textBody) +
           tool::TitledBody("HTML body", detail.htmlBody);
}

}  // namespace kz::console
