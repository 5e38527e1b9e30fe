#pragma once
// Header fields and their parameters in a part's raw header text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz {

// The value of the field named `field` (any case) in raw header text, where a field
// starts at the beginning of the text or of a line. Blanks and tabs after the colon are
// skipped. With `upToSemicolon` the value ends at the first ";" or line end; otherwise
// folded continuation lines are appended without their leading blanks and tabs and
// without any separator.
std::optional<std::string> GetHeaderFieldValue(std::string_view rawHeaders, std::string_view field,
                                               bool upToSemicolon);

struct ParameterValue {
    std::string value;
    bool extended = false;  // written as name*=..., the RFC 2231 form
};

// The value of parameter `name` in a header value, found by a substring search without
// regard to case: the name, an optional "*", blanks, then "=". A quoted value runs to the
// next double quote (or the end of the text), an unquoted one to the first ";", white
// space or end.
std::optional<ParameterValue> ExtractParameterValue(std::string_view name,
                                                    std::string_view headerValue);

// Reads a parameter value that starts at `pos` (just after its "="), by the rules of
// ExtractParameterValue.
std::string ReadParameterValue(std::string_view headerValue, std::size_t pos);

// The RFC 2231 pieces `name`*0, `name`*1, ... of a header value (each also in its
// extended form `name`*N*), in order up to the first missing number. The name is found by a
// substring search without regard to case, so "name" also finds the pieces of "filename".
std::vector<ParameterValue> CollectParameterPieces(std::string_view headerValue,
                                                   std::string_view name);

struct Rfc2231Value {
    std::optional<std::string> charset;  // from the first piece's charset'language' prefix
    std::string bytes;
};

// Joins pieces in order: the first extended piece loses its charset'language' prefix and
// pieces with "%" are percent-decoded.
Rfc2231Value JoinRfc2231Pieces(const std::vector<ParameterValue>& pieces);

// The "boundary" parameter of a Content-Type value in its plain, extended or continued
// form, as the bytes that delimiters carry.
std::string BoundaryParameter(std::string_view contentType);

// "%XX" gives the byte XX; "%#" and decimal digits give the character of that code (a ";"
// after the digits is dropped); everything else is copied.
std::string PercentDecode(std::string_view text);

}  // namespace kz
