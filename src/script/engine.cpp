#include "script/engine.h"

#include <new>

#include "script/error.h"
#include "script/interpreter.h"
#include "script/parser.h"

namespace kz::script {

namespace {

// Unknown name: the code of a Run whose function the script does not define.
constexpr int32_t kUnknownNameCode = int32_t(0x80020006u);

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

ScriptError FromException(const ScriptException& e) {
    ScriptError error;
    error.code = e.code;
    error.number = e.number;
    error.description = e.what();
    error.line = e.line;
    error.isSyntax = e.isSyntax;
    return error;
}

}  // namespace

Engine::Engine(Limits limits) : interpreter_(std::make_unique<Interpreter>(limits)) {}

Engine::~Engine() = default;

template <typename Fn>
bool Engine::guarded(Fn&& fn) {
    error_ = {};
    try {
        fn();
        return true;
    } catch (const ScriptException& e) {
        error_ = FromException(e);
    } catch (const std::bad_alloc&) {
        error_ = FromException(ScriptException(kOutOfMemory, ErrorText(kOutOfMemory), 0, false));
    } catch (const std::length_error&) {
        error_ = FromException(ScriptException(kOutOfMemory, ErrorText(kOutOfMemory), 0, false));
    } catch (const std::exception&) {
        // Nothing of the engine's own may escape to the host as an exception.
        error_ =
            FromException(ScriptException(kInternalError, ErrorText(kInternalError), 0, false));
    }
    return false;
}

bool Engine::addCode(std::string_view text) {
    return guarded([&] {
        auto program = std::make_shared<Program>(Parse(text));
        interpreter_->load(std::move(program));
    });
}

std::optional<Value> Engine::run(std::string_view functionName, std::vector<Value> args) {
    std::string name = Lower(functionName);
    if (!interpreter_->hasProcedure(name)) {
        error_ = {};
        error_.code = kUnknownNameCode;
        error_.description = "Unknown name.";
        return std::nullopt;
    }
    Value result;
    if (!guarded([&] { result = interpreter_->call(name, std::move(args)); })) return std::nullopt;
    return result;
}

std::optional<ScriptError> CheckSyntax(std::string_view text) {
    try {
        Parse(text);
    } catch (const ScriptException& e) {
        return FromException(e);
    }
    return std::nullopt;
}

}  // namespace kz::script
