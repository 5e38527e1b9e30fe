#pragma once
// SHA-256 over text that arrives in pieces: a message body as the MTA sends it, or as it
// is read back from the queue, without holding it whole.

#include <memory>
#include <string>
#include <string_view>

namespace kz::tool {

class BodyDigest {
  public:
    BodyDigest();
    ~BodyDigest();
    BodyDigest(BodyDigest&&) noexcept;
    BodyDigest& operator=(BodyDigest&&) noexcept;

    void add(std::string_view piece);
    // 64 lower-case hexadecimal digits; the digest cannot take more pieces after it.
    std::string finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The digest of a whole text at once.
std::string DigestOf(std::string_view text);

}  // namespace kz::tool
