#pragma once
// Key records through KeyResolver's c-ares queries, for the verifier written here on Linux
// (where the shipped library uses libopendkim, the two are compared by the tests).

#include "key_lookup.h"
#include "key_resolver.h"

namespace kz::dkim {

class AresKeyLookup : public KeyLookup {
  public:
    explicit AresKeyLookup(KeyResolver& resolver) : resolver_(resolver) {}
    KeyAnswer lookup(const std::string& name) override;

  private:
    KeyResolver& resolver_;
};

}  // namespace kz::dkim
