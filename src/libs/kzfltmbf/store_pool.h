#pragma once
// Open connections to the token store, kept between calls: opening one costs more than
// scoring a message. Each call leases one for its own use and hands it back; one whose
// connection broke is closed instead, and the next call connects again.

#include <memory>
#include <string>

#include "store_settings.h"
#include "token_store.h"

namespace kz::bayes {

class StoreLease {
  public:
    // An idle connection to the settings' store, or a new one (throws StoreError when it
    // cannot open).
    enum Choice { AnyIdle, New };
    explicit StoreLease(const StoreSettings& settings, Choice choice = AnyIdle);
    ~StoreLease();
    StoreLease(const StoreLease&) = delete;
    StoreLease& operator=(const StoreLease&) = delete;
    TokenStore* operator->() const { return store_.get(); }
    // True when the connection was kept from an earlier call.
    bool kept() const { return kept_; }

  private:
    bool kept_ = false;
    std::unique_ptr<TokenStore> store_;
};

// Closes the idle connections (at clean-up).
void CloseIdleStores();

}  // namespace kz::bayes
