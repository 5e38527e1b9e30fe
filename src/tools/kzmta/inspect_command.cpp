// kzmta inspect: what the agent sees of a message file, read by the same MIME reader as
// the scan: the decoded headers, the leaf parts and the two bodies.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "json_writer.h"
#include "message/mime_reader.h"
#include "platform/utf8_path.h"
#include "printable_text.h"

namespace kz::tool {

namespace {

void partJson(JsonWriter& json, const MimePart& part) {
    json.beginObject()
        .member("contentType", part.contentType)
        .member("charset", part.charset)
        .member("transferEncoding", part.transferEncoding)
        .member("dispositionType", part.dispositionType)
        .member("fileName", part.fileName)
        .member("partName", part.partName)
        .member("displayName", part.displayName)
        .member("contentId", part.contentId)
        .member("size", int64_t(part.content.size()))
        .endObject();
}

std::string inspectJson(MimeReader& reader) {
    JsonWriter json;
    json.beginObject().key("headers").beginArray();
    for (const HeaderEntry& header : reader.headers()) {
        json.beginObject().member("name", header.name).member("value", header.value).endObject();
    }
    json.endArray().key("parts").beginArray();
    for (const MimePart& part : reader.parts()) partJson(json, part);
    json.endArray()
        .member("textBody", reader.plainTextBody())
        .member("htmlBody", reader.htmlBody())
        .endObject();
    return json.text() + "\n";
}

// "name value" when the value is not empty.
std::string field(std::string_view name, std::string_view value) {
    return value.empty() ? std::string()
                         : ", " + std::string(name) + " " + PrintableText(value, false);
}

std::string inspectText(MimeReader& reader) {
    std::string out = "Headers (" + std::to_string(reader.headers().size()) + "):\n";
    for (const HeaderEntry& header : reader.headers()) {
        out += "  " + PrintableText(header.name, false) + ": " +
               PrintableText(header.value, false) + "\n";
    }
    out += "Parts (" + std::to_string(reader.parts().size()) + "):\n";
    int number = 0;
    for (const MimePart& part : reader.parts()) {
        out += "  " + std::to_string(++number) + ". " + PrintableText(part.contentType, false) +
               field("charset", part.charset) + field("transfer encoding", part.transferEncoding) +
               field("disposition", part.dispositionType) + field("file name", part.fileName) +
               field("part name", part.partName) + field("display name", part.displayName) +
               field("content id", part.contentId) + ", " + std::to_string(part.content.size()) +
               " bytes\n";
    }
    return out + TitledBody("Text body", reader.plainTextBody()) +
           TitledBody("HTML body", reader.htmlBody());
}

int inspect(const std::string& path, bool json) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(platform::pathFromUtf8(path), error)) {
        throw std::runtime_error("no such file: " + path);
    }
    MimeReader reader;
    reader.loadFile(path, true);  // as the MIME-aware scan reads it
    std::string out = json ? inspectJson(reader) : inspectText(reader);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

void AddInspectCommand(CommandLine& cli) {
    struct Options {
        std::string file;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = cli.add(
        cli.root(), "inspect", "show what the agent sees of a message file: headers, parts, bodies",
        [o] { return inspect(o->file, o->json); });
    command.add_option("FILE", o->file, "the message file")->required();
    command.add_flag("--json", o->json, "one JSON object instead of text");
}

}  // namespace kz::tool
