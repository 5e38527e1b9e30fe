#include "filters/script_host.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "script/engine.h"
#include "script/error.h"

namespace kz::filters {

namespace {

// The longest error text the failure line carries.
constexpr TextLimit kErrorTextLimit{128};

bool Names(std::string_view scriptText, std::string_view name) {
    return !name.empty() && findIgnoreCase(scriptText, name) != std::string_view::npos;
}

long Fail(const script::ScriptError& error) {
    std::string text(kErrorTextLimit.cut(error.description));
    ScriptLog(formatText("Kaztrel Filter Script incurred an error: (%ld) %s\n", long(error.code),
                         text.c_str()));
    return 0;
}

// The script's value as a signed 32-bit number; a value that does not convert fails the
// run as the conversion error.
std::optional<long> ResultNumber(const script::Value& value, script::ScriptError& error) {
    try {
        if (value.isNull() || value.isArray() || value.isObject())
            script::ThrowRuntime(script::kTypeMismatch);
        return long(script::ToLong(value));
    } catch (const script::ScriptException& e) {
        error.code = e.code;
        error.number = e.number;
        error.description = e.what();
        return std::nullopt;
    }
}

std::string ResultText(const script::Value& value) {
    if (value.isEmpty() || value.isNull() || value.isArray() || value.isObject()) return {};
    try {
        return script::ToString(value);
    } catch (const script::ScriptException&) {
        return {};
    }
}

}  // namespace

long RunScript(std::string_view scriptText, std::string_view functionName, std::string& resultData,
               TextLimit resultLimit, bool wantResultData) {
    if (resultLimit.bufferSize >= 1 && wantResultData) resultData.clear();
    script::Engine engine;
    ScriptLog("Script before execution:\n");
    ScriptLog(scriptText);
    if (!engine.addCode(scriptText)) {
        ScriptLog("Syntax Error Occurred in Filtering Script\n");
        if (Names(scriptText, functionName)) {
            ScriptLog("Script in error follows:\n");
            ScriptLog(scriptText);
        }
        if (resultLimit.bufferSize >= 1 && wantResultData)
            resultData = formatBounded(resultLimit, "Script Syntax Error: HRESULT = %ld.",
                                       long(engine.error().code));
        return Fail(engine.error());
    }
    if (!Names(scriptText, functionName)) {
        ScriptLog(
            "Error executing script. Script does not define a function with the nominated "
            "name.\n");
        return 0;
    }
    std::optional<script::Value> value = engine.run(functionName);
    script::ScriptError error = engine.error();
    std::optional<long> result = value ? ResultNumber(*value, error) : std::nullopt;
    if (!result) {
        ScriptLog("Script failed. 'KZ_Execute()' function returned value = 0.\n");
        return Fail(error);
    }
    ScriptLog("Script executed successfully.\n");
    if (wantResultData ||
        (*result != 0 && resultLimit.bufferSize >= 1 && Names(scriptText, "KZ_GetResultData"))) {
        if (std::optional<script::Value> data = engine.run("KZ_GetResultData");
            data && resultLimit.bufferSize >= 1)
            resultData.assign(resultLimit.cut(ResultText(*data)));
    }
    ScriptLog(formatText("Function Returned Value = %ld.\n", *result));
    return *result;
}

std::optional<ScriptSyntaxError> CheckScriptSyntax(std::string_view scriptText) {
    std::optional<script::ScriptError> error = script::CheckSyntax(scriptText);
    if (!error) return std::nullopt;
    return ScriptSyntaxError{error->code, error->line, error->description};
}

}  // namespace kz::filters
