// Fuzz target: the Bayesian classifier's reading of a message into tokens and of its
// requests. Tokens are distinct, non-empty, bounded in length and in number; a request
// is either understood or says why not.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

#include "bayes_request.h"
#include "fuzz_check.h"
#include "message_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kz::bayes;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const auto tokens = MessageTokens(input);
    KZ_FUZZ_CHECK(tokens.size() <= kMaxTokens);
    const std::set<std::string_view> distinct(tokens.begin(), tokens.end());
    KZ_FUZZ_CHECK(distinct.size() == tokens.size());
    // A header name (at most 60) and ":" before a word, or "url:" before a host.
    for (const std::string& token : tokens) KZ_FUZZ_CHECK(!token.empty() && token.size() <= 260);

    const BayesRequest request = ParseRequest(input);
    if (request.kind == RequestKind::Malformed) KZ_FUZZ_CHECK(!request.error.empty());
    if (request.kind == RequestKind::Score) KZ_FUZZ_CHECK(!request.path.empty());
    if (request.kind == RequestKind::Learn || request.kind == RequestKind::Forget) {
        KZ_FUZZ_CHECK(!request.paths.empty() && request.paths.size() <= kMaxFilesPerRequest);
        for (const std::string& path : request.paths) KZ_FUZZ_CHECK(!path.empty());
    }
    return 0;
}
