#pragma once
// Pieces shared by the registry's text format and its in-memory model, on every system.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "platform/registry.h"

namespace kz::platform::reg {

// Names compare with ASCII letters folded, whatever the locale.
inline bool namesEqual(std::string_view a, std::string_view b) {
    return equalsIgnoreCase(a, b);
}
// True when `path` is `key` or lies below it ("A\B" is below "a").
bool isSameOrBelow(std::string_view path, std::string_view key);

// Text values are held as the bytes a reader gets, which need not be UTF-8. So that
// any bytes survive a version 5.00 file, a byte that is not part of UTF-8 is written as
// the lone low surrogate U+DC00 plus the byte, and read back as that byte.
// UTF-16LE bytes to UTF-8; other unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
// UTF-8 to UTF-16LE bytes.
std::string utf8ToUtf16le(std::string_view utf8);

// The keys of one registry file with their values, in file order.
class Model {
  public:
    const std::vector<RegKey>& keys() const { return keys_; }
    const RegKey* find(std::string_view path) const;
    bool keyExists(std::string_view path) const;
    std::vector<std::string> subkeys(std::string_view path) const;

    // Each returns true when the model changed.
    bool setValue(std::string_view path, const RegValue& value);
    bool deleteValue(std::string_view path, std::string_view name);
    bool createKey(std::string_view path);
    bool deleteKey(std::string_view path);  // with its subkeys
    bool apply(const std::vector<RegKey>& sections);

  private:
    RegKey* findMutable(std::string_view path);
    std::vector<RegKey> keys_;
};

}  // namespace kz::platform::reg
