#pragma once
// Script errors with the numbers and texts that VBScript gives them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kz::script {

// Run-time error numbers (the low word of the error code).
enum RuntimeError : int {
    kInvalidCall = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kArrayFixed = 10,
    kDivisionByZero = 11,
    kTypeMismatch = 13,
    kOutOfStack = 28,
    kInternalError = 51,
    kInvalidUseOfNull = 94,
    kObjectRequired = 424,
    kCannotCreateObject = 429,
    kNoSuchMember = 438,
    kWrongArguments = 450,
    kNotACollection = 451,
    kVariableUndefined = 500,
    kIllegalAssignment = 501,
    kRegExpSyntax = 5017,
};

// Compile error numbers.
enum SyntaxError : int {
    kSyntaxError = 1002,
    kExpectedColon = 1003,
    kExpectedLParen = 1005,
    kExpectedRParen = 1006,
    kExpectedIdentifier = 1010,
    kExpectedEquals = 1011,
    kExpectedIf = 1012,
    kExpectedTo = 1013,
    kExpectedEnd = 1014,
    kExpectedFunction = 1015,
    kExpectedSub = 1016,
    kExpectedThen = 1017,
    kExpectedWend = 1018,
    kExpectedLoop = 1019,
    kExpectedNext = 1020,
    kExpectedCase = 1021,
    kExpectedSelect = 1022,
    kExpectedExpression = 1023,
    kExpectedStatement = 1024,
    kExpectedEndOfStatement = 1025,
    kExpectedInteger = 1026,
    kExpectedWhileUntil = 1027,
    kInvalidCharacter = 1032,
    kUnterminatedString = 1033,
    kInvalidExit = 1039,
    kNameRedefined = 1041,
    kParenthesesOnSubCall = 1044,
    kExpectedLiteral = 1045,
    kExpectedIn = 1046,
};

// Code of a script error as the script host reports it: the facility of the script
// engine (0x800A0000) plus the number.
constexpr int32_t ErrorCode(int number) {
    return int32_t(uint32_t(0x800A0000u) | uint32_t(number & 0xFFFF));
}

// The time bound has no VBScript number; it is reported as the system's timeout
// (ERROR_TIMEOUT), whose number is the low word of its code as for the others.
constexpr int kTimedOut = 1460;
constexpr int32_t kTimeoutCode = int32_t(0x80070000u | uint32_t(kTimedOut));

// VBScript's text for an error number; empty when it has none.
std::string ErrorText(int number);

// Thrown while compiling or running; `fatal` errors (the bounds) cannot be caught by
// On Error Resume Next.
struct ScriptException : std::runtime_error {
    int number;
    int line;
    bool isSyntax;
    bool fatal;
    int32_t code;
    ScriptException(int number, std::string description, int line, bool isSyntax,
                    bool fatal = false, int32_t code = 0);
};

[[noreturn]] void ThrowRuntime(int number);
[[noreturn]] void ThrowRuntime(int number, std::string description);
[[noreturn]] void ThrowFatal(int number, int32_t code, std::string description);

}  // namespace kz::script
