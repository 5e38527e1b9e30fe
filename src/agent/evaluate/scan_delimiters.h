#pragma once
// The delimiter sets the message scan hands to the evaluators, which split texts at them.

#include <string_view>

namespace kz::evaluate {

// From, To and Cc values.
inline constexpr std::string_view kAddressDelimiters = "' \r'\"\n<>;";
// Every other text of the scan.
inline constexpr std::string_view kWordDelimiters = " \r'\"\n";
// HASANATTACHMENT with a part's header text or line.
inline constexpr std::string_view kPartAttachmentDelimiters = " \r'\"\n;";
// HASATTACHMENTSMATCHING with a part header line of the line-by-line scan: names may
// hold blanks.
inline constexpr std::string_view kPlainAttachmentNameDelimiters = "\r'\"\n;";
// Both attachment kinds inside an encoded block of the line-by-line scan.
inline constexpr std::string_view kEncodedBlockDelimiters = " \r'\"\n;.";

}  // namespace kz::evaluate
