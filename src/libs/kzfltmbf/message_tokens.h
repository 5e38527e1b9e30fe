#pragma once
// The words a message is judged by: header words tagged with the header's name, words of
// the text and HTML bodies (markup dropped), and the hosts of the links split into their
// parent domains. Each token counts once per message.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kz::bayes {

// Words shorter than this say little; longer ones are mostly encoded junk and are
// replaced by a token that keeps only their first letter and their length class.
inline constexpr std::size_t kMinTokenLength = 3;
inline constexpr std::size_t kMaxTokenLength = 40;
// A message yields at most this many distinct tokens; the rest is not looked at.
inline constexpr std::size_t kMaxTokens = 4000;
// Only this much of a message file is read.
inline constexpr std::size_t kMaxMessageBytes = std::size_t(1) << 20;

// The distinct tokens, in no particular order.
std::vector<std::string> MessageTokens(std::string_view messageText);

}  // namespace kz::bayes
