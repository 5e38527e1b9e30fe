#include "script/error.h"

#include <utility>

namespace kz::script {

namespace {

struct ErrorEntry {
    int number;
    const char* text;
};

constexpr ErrorEntry kErrorTexts[] = {
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {28, "Out of stack space"},
    {51, "Internal error"},
    {35, "Sub or Function not defined"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {438, "Object doesn't support this property or method"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Object not a collection"},
    {500, "Variable is undefined"},
    {501, "Illegal assignment"},
    {1001, "Out of memory"},
    {1002, "Syntax error"},
    {1003, "Expected ':'"},
    {1005, "Expected '('"},
    {1006, "Expected ')'"},
    {1010, "Expected identifier"},
    {1011, "Expected '='"},
    {1012, "Expected 'If'"},
    {1013, "Expected 'To'"},
    {1014, "Expected 'End'"},
    {1015, "Expected 'Function'"},
    {1016, "Expected 'Sub'"},
    {1017, "Expected 'Then'"},
    {1018, "Expected 'Wend'"},
    {1019, "Expected 'Loop'"},
    {1020, "Expected 'Next'"},
    {1021, "Expected 'Case'"},
    {1022, "Expected 'Select'"},
    {1023, "Expected expression"},
    {1024, "Expected statement"},
    {1025, "Expected end of statement"},
    {1026, "Expected integer constant"},
    {1027, "Expected 'While', 'Until' or end of statement"},
    {1032, "Invalid character"},
    {1033, "Unterminated string constant"},
    {1039, "Invalid 'exit' statement"},
    {1041, "Name redefined"},
    {1044, "Cannot use parentheses when calling a Sub"},
    {1045, "Expected literal constant"},
    {1046, "Expected 'In'"},
    {5017, "Syntax error in regular expression"},
};

}  // namespace

std::string ErrorText(int number) {
    for (const ErrorEntry& entry : kErrorTexts)
        if (entry.number == number) return entry.text;
    return {};
}

ScriptException::ScriptException(int number, std::string description, int line, bool isSyntax,
                                 bool fatal, int32_t code)
    : std::runtime_error(std::move(description)),
      number(number),
      line(line),
      isSyntax(isSyntax),
      fatal(fatal),
      code(code != 0 ? code : ErrorCode(number)) {}

void ThrowRuntime(int number) {
    throw ScriptException(number, ErrorText(number), 0, false);
}

void ThrowRuntime(int number, std::string description) {
    throw ScriptException(number, std::move(description), 0, false);
}

void ThrowFatal(int number, int32_t code, std::string description) {
    throw ScriptException(number, std::move(description), 0, false, true, code);
}

}  // namespace kz::script
