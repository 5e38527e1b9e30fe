#pragma once
// The key=value lines of a command file and the envelope fields they fill. Keys are
// matched case-sensitively as the start of a line; the value is the rest of the line.

#include <cstdint>
#include <string_view>

#include "message/message_context.h"

namespace kz {

// Applies one line (without its line end) to the envelope: a text value cut to its
// field, a number read as atoi reads it. False when the line begins with no known key.
bool ApplyEnvelopeLine(MessageEnvelope& envelope, std::string_view line);

// Leading white space, an optional sign, then decimal digits up to the first other
// character; no digits give 0, values beyond 32 bits are clamped.
int32_t EnvelopeNumber(std::string_view text);

// True for a line that begins with one of the keys the envelope writer writes itself.
bool IsWrittenEnvelopeLine(std::string_view line);

}  // namespace kz
