#pragma once
// The script engine's entry: load code, run a function by name, read the last error.
// One Engine belongs to one caller; separate engines share nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/limits.h"
#include "script/value.h"

namespace kz::script {

class Interpreter;

struct ScriptError {
    int32_t code = 0;  // 0x800A0000 plus the error number, or a system code
    int number = 0;    // VBScript's error number
    std::string description;
    int line = 0;  // 1-based line of the code block, 0 when unknown
    bool isSyntax = false;
};

class Engine {
  public:
    explicit Engine(Limits limits = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Compiles the code, defines its procedures and runs its top-level statements.
    bool addCode(std::string_view text);
    // Calls a Function or Sub; no value when it fails.
    std::optional<Value> run(std::string_view functionName, std::vector<Value> args = {});
    const ScriptError& error() const { return error_; }

  private:
    template <typename Fn>
    bool guarded(Fn&& fn);

    std::unique_ptr<Interpreter> interpreter_;
    ScriptError error_;
};

// Compiles without running; the syntax error when there is one.
std::optional<ScriptError> CheckSyntax(std::string_view text);

}  // namespace kz::script
