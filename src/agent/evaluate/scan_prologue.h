#pragma once
// What both scanners do first, for every message, filtered already or not: the size and
// the provider verdicts.

#include <cstdint>
#include <string>
#include <string_view>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// The size of the file as its directory entry gives it, 4,294,967,295 for any larger
// file; 0 when no file matches.
uint32_t GetMessageFileSize(std::string_view path);

// The message file of the run in the connector's Inbound queue; empty when no such
// path can be formed.
std::string MessageFilePath(const MessageContext& context);

// SIZE, then the providers in their order. Returns the message file path, empty for a
// held message (MessageContext::heldText), which is measured by its text.
std::string RunScanPrologue(Evaluation& evaluation);

}  // namespace kz::evaluate
