#pragma once
// COPY and MOVE: filing the message in a mailbox or public folder of the mail store.

#include <string_view>

#include "base/text_limit.h"
#include "message/message_context.h"

namespace kz::actions {

// The longest folder name an action line may give.
inline constexpr TextLimit kFolderNameLimit{1024};

// Copies the message file into the folder of the envelope's post office (Account) and
// mailbox (User), or into the public folder tree when the name starts with "Public" and
// public folders may be changed, creating the folder's last level and flagging the
// change. Backslashes in the name are separators. True when the message was copied; false for
// names that would leave their place ("..", separators in Account or User) and failed
// copies.
bool CopyToMailboxFolder(const MessageContext& context, std::string_view folder);

// MOVE: the copy, then the queued message is deleted. The copy's result.
bool MoveToMailboxFolder(const MessageContext& context, std::string_view folder);

}  // namespace kz::actions
