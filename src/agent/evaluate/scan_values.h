#pragma once
// Header and body evaluations that both scanners make the same way.

#include <string_view>

#include "evaluate/evaluation.h"
#include "message/mime_reader.h"

namespace kz::evaluate {

// The text PRIORITY sees for an "X-Priority" value: by its first character "Low ",
// "Normal " or "High "; empty (no evaluation) for any other.
std::string_view PriorityText(std::string_view xPriorityValue);

// PRIORITY with the mapped X-Priority value, when it maps.
void EvaluateXPriority(Evaluation& evaluation, std::string_view value);

// COUNTRY_MATCH with the value, then COUNTRY_NOMATCH when the value is not empty.
void EvaluateCountryOrigin(Evaluation& evaluation, std::string_view value);

// BODY with the plain-text body, then with the raw HTML body, each when not empty.
void EvaluateBodies(Evaluation& evaluation, MimeReader& reader);

}  // namespace kz::evaluate
