#pragma once
// Open connections to the token file, kept between calls: opening one costs more than
// scoring a message. Each call leases one for its own use and hands it back.

#include <memory>
#include <string>

#include "token_store.h"

namespace kz::bayes {

class StoreLease {
  public:
    // An idle connection to `path`, or a new one (throws StoreError when it cannot open).
    explicit StoreLease(const std::string& path);
    ~StoreLease();
    StoreLease(const StoreLease&) = delete;
    StoreLease& operator=(const StoreLease&) = delete;
    TokenStore* operator->() const { return store_.get(); }

  private:
    std::unique_ptr<TokenStore> store_;
};

// Closes the idle connections (at clean-up).
void CloseIdleStores();

}  // namespace kz::bayes
