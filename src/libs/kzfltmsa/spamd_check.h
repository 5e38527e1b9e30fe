#pragma once
// One SYMBOLS exchange with spamd over a new connection.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "spamd_reply.h"

namespace kz::providers {

struct SpamdSettings {
    std::string server = "127.0.0.1:783";
    std::chrono::milliseconds connectTimeout{2000};
    std::chrono::milliseconds timeout{30000};
    uint32_t maxSize = 512 * 1024;
};

// The settings from the "SpamAssassin" key.
SpamdSettings ReadSpamdSettings();

// spamd's verdict on the message, or nothing with the reason in `why`.
std::optional<SpamdVerdict> AskSpamd(const SpamdSettings& settings, std::string_view message,
                                     std::string& why);

}  // namespace kz::providers
