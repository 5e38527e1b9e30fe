// kzmta keywords: the criterion and action keywords this build knows, from the tables the
// agent itself reads criteria and action files with.

#include <cstdio>
#include <memory>
#include <string>

#include "actions/action_keywords.h"
#include "command_line.h"
#include "commands.h"
#include "filters/criterion_type.h"
#include "json_writer.h"

namespace kz::tool {

namespace {

using filters::KindShape;

const char* shapeName(KindShape shape) {
    switch (shape) {
        case KindShape::Words:
            return "words";
        case KindShape::Addresses:
            return "addresses";
        case KindShape::Envelope:
            return "envelope value";
        case KindShape::Countries:
            return "countries";
        case KindShape::Names:
            return "attachment names";
        case KindShape::Presence:
            return "attachment present";
        case KindShape::Threshold:
            return "threshold";
        case KindShape::Status:
            return "status";
        case KindShape::Verdict:
            return "provider verdict";
        case KindShape::Whitelist:
            return "whitelist";
        case KindShape::Met:
            return "always met";
        case KindShape::None:
            return "never met";
    }
    return "";
}

std::vector<std::string> sourceNames(uint8_t sources) {
    static constexpr std::pair<uint8_t, const char*> kNames[] = {
        {filters::kFromEnvelope, "envelope"}, {filters::kFromHeaders, "headers"},
        {filters::kFromParts, "parts"},       {filters::kFromBody, "body"},
        {filters::kFromProvider, "provider"}, {filters::kFromLinks, "links"},
    };
    std::vector<std::string> names;
    for (const auto& [bit, name] : kNames)
        if (sources & bit) names.push_back(name);
    return names;
}

const char* fileUseName(actions::FileUse use) {
    switch (use) {
        case actions::FileUse::None:
            return "none";
        case actions::FileUse::Edits:
            return "edits";
        case actions::FileUse::Reads:
            return "reads";
    }
    return "";
}

std::string keywordsJson() {
    JsonWriter json;
    json.beginObject().key("criteria").beginArray();
    for (const filters::CriterionKind& kind : filters::kCriterionKinds) {
        json.beginObject()
            .member("keyword", kind.keyword)
            .member("index", int(kind.type))
            .member("shape", shapeName(kind.shape))
            .member("sources", sourceNames(kind.sources))
            .endObject();
    }
    json.endArray().key("actions").beginArray();
    for (const actions::ActionKeyword& action : actions::ActionKeywords()) {
        json.beginObject()
            .member("keyword", action.keyword)
            .member("message", fileUseName(action.files))
            .member("recorded",
                    action.recording == actions::Recording::Always ? "always" : "on success")
            .member("stops", action.stops)
            .endObject();
    }
    json.endArray().endObject();
    return json.text() + "\n";
}

std::string keywordsText() {
    std::string out =
        "Criterion keywords (a criteria table's lines in this order; [KZ_KEYWORD] in scripts):\n";
    char line[160];
    for (const filters::CriterionKind& kind : filters::kCriterionKinds) {
        std::string sources;
        for (const std::string& name : sourceNames(kind.sources))
            sources += (sources.empty() ? "" : ", ") + name;
        std::snprintf(line, sizeof line, "  %-24.*s %-19s %s\n", int(kind.keyword.size()),
                      kind.keyword.data(), shapeName(kind.shape), sources.c_str());
        out += line;
    }
    out += "Action keywords (field 4 of an action file), and what each does with the message:\n";
    for (const actions::ActionKeyword& action : actions::ActionKeywords()) {
        std::snprintf(line, sizeof line, "  %-24.*s %s%s\n", int(action.keyword.size()),
                      action.keyword.data(), fileUseName(action.files),
                      action.stops ? ", stops the filters after it" : "");
        out += line;
    }
    return out + "docs/configuration.md (man 5 kzmta-config) describes each one.\n";
}

}  // namespace

void AddKeywordsCommand(CommandLine& cli) {
    auto json = std::make_shared<bool>(false);
    CLI::App& command = cli.add(cli.root(), "keywords",
                                "list the criterion and action keywords this build knows", [json] {
                                    std::string out = *json ? keywordsJson() : keywordsText();
                                    std::fwrite(out.data(), 1, out.size(), stdout);
                                    return 0;
                                });
    command.add_flag("--json", *json, "one JSON object instead of text");
}

}  // namespace kz::tool
