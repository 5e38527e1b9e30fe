#pragma once
// Mail that must not be answered automatically (RFC 3834): a reply to it would go to
// no one, start a mail loop, or scatter back to forged senders and lists.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz::actions {

// The console line that says why no notification goes to the sender, or empty when one
// may go: the sender address is empty or "<>", or the headers carry "Auto-Submitted"
// with a value other than "no", or "Precedence" bulk, junk or list.
std::optional<std::string> SenderNotificationRefusal(std::string_view senderAddress,
                                                     const std::vector<std::string>& headerLines);

}  // namespace kz::actions
