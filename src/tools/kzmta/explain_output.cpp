// The two forms of explain's report: lines for a person, one JSON object for programs.

#include "explain_output.h"

#include <string>

#include "filters/criterion_type.h"
#include "json_writer.h"
#include "printable_text.h"

namespace kz::tool {

namespace {

// Message data may hold line breaks, tabs and escape sequences; a person's report keeps
// one item a line.
std::string oneLine(std::string_view text) {
    return PrintableText(text, false);
}

std::string filterVerdict(const FilterReport& filter) {
    if (!filter.reached || !filter.note.empty()) return filter.holds ? "holds" : "does not act";
    return filter.holds ? "holds" : "does not hold";
}

std::string joined(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& value : values) out += (out.empty() ? "" : ", ") + oneLine(value);
    return out;
}

// A script decides by itself: its criteria have no threshold, only hits and the
// instance values it is given.
void criterionLine(std::string& out, const CriterionReport& c, bool script) {
    out += "    " + c.keyword + ": ";
    if (script) {
        out += std::to_string(c.hitCount) + " hit(s), instance values " + joined(c.instanceValues);
    } else {
        out += std::string(c.met ? "met" : "not met") + ", " + std::to_string(c.hitCount) +
               " hit(s) of threshold " + std::to_string(c.threshold);
    }
    if (!c.matchText.empty()) out += ", match " + oneLine(c.matchText);
    out += "\n";
    // What the criterion saw, so a word that did not match can be looked for.
    const filters::KindShape shape = filters::KindOf(c.index).shape;
    if (c.values.empty()) {
        if (filters::IsListShape(shape) || shape == filters::KindShape::Countries)
            out += "      saw no value\n";
        return;
    }
    for (const std::string& value : c.values) out += "      saw " + oneLine(value) + "\n";
}

void filterLines(std::string& out, const FilterReport& f) {
    out += "Filter " + std::to_string(f.position) + " \"" + oneLine(f.name) + "\" (criteria " +
           oneLine(f.criteriaName) + (f.isScript ? ", script" : "") +
           (f.matchAll == 1 ? ", all criteria must be met" : "") + (f.audited ? ", audited" : "") +
           "): " + filterVerdict(f) + "\n";
    if (!f.description.empty()) out += "  " + oneLine(f.description) + "\n";
    if (!f.note.empty()) out += "  (" + f.note + ")\n";
    if (f.criteria.empty()) out += "  no enabled criterion: the filter can never hold\n";
    for (const CriterionReport& c : f.criteria) criterionLine(out, c, f.isScript);
    if (!f.script.empty()) {
        out += "  generated script:\n";
        std::string_view script = f.script;
        while (!script.empty()) {
            std::size_t end = script.find('\n');
            out += "    " + PrintableText(script.substr(0, end), false) + "\n";
            script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
        }
        out += "  script result: " + (f.holds ? std::string("1") : std::string("not 1")) +
               (f.scriptResult.empty() ? "" : ", result text " + oneLine(f.scriptResult)) + "\n";
    }
    if (!f.holds) return;
    if (f.audited) out += "  audited: it writes an AUDIT report line and runs none of these\n";
    if (f.actions.empty()) out += "  no enabled action line: nothing would run\n";
    for (const ActionReport& a : f.actions) {
        out += "  would run " + oneLine(a.keyword);
        if (!a.data.empty()) out += " " + oneLine(a.data);
        if (!a.known) out += " (not an action keyword: runs nothing)";
        out += "\n";
    }
}

void criterionJson(JsonWriter& json, const CriterionReport& c) {
    json.beginObject()
        .member("index", c.index)
        .member("keyword", c.keyword)
        .member("threshold", c.threshold)
        .member("instanceCount", c.instanceCount)
        .member("hitCount", c.hitCount)
        .member("matchText", c.matchText)
        .member("instanceValues", c.instanceValues)
        .member("values", c.values)
        .endObject();
}

void filterJson(JsonWriter& json, const FilterReport& f) {
    json.beginObject()
        .member("position", f.position)
        .member("name", f.name)
        .member("criteriaName", f.criteriaName)
        .member("description", f.description)
        .member("isScript", f.isScript)
        .member("matchAll", f.matchAll)
        .member("audited", f.audited)
        .member("reached", f.reached)
        .member("holds", f.holds)
        .member("note", f.note)
        .member("script", f.script)
        .member("scriptResult", f.scriptResult);
    json.key("criteria").beginArray();
    for (const CriterionReport& c : f.criteria) criterionJson(json, c);
    json.endArray().key("actions").beginArray();
    for (const ActionReport& a : f.actions) {
        json.beginObject()
            .member("keyword", a.keyword)
            .member("data", a.data)
            .member("description", a.description)
            .endObject();
    }
    json.endArray().endObject();
}

}  // namespace

std::string ExplainText(const ExplainReport& report) {
    std::string out = "Message " + report.message + " in connector " + report.connector + ": " +
                      (report.scanned ? "scanned" : "not scanned (no filter acts on it)") + "\n";
    if (report.filters.empty()) out += "No filter is loaded: the agent leaves the message alone.\n";
    for (const FilterReport& f : report.filters) filterLines(out, f);
    return out;
}

std::string ExplainJson(const ExplainReport& report) {
    JsonWriter json;
    json.beginObject()
        .member("connector", report.connector)
        .member("message", report.message)
        .member("scanned", report.scanned);
    json.key("filters").beginArray();
    for (const FilterReport& f : report.filters) filterJson(json, f);
    json.endArray().endObject();
    return json.text() + "\n";
}

}  // namespace kz::tool
