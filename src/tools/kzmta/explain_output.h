#pragma once
// Printing explain's report.

#include <string>

#include "explain_report.h"

namespace kz::tool {

std::string ExplainText(const ExplainReport& report);
std::string ExplainJson(const ExplainReport& report);  // one object and a line feed

}  // namespace kz::tool
