#pragma once
// Whether a COPY or MOVE folder name is a public folder the message may be filed in.

#include <optional>
#include <string>
#include <string_view>

namespace kz::actions {

// The folder below the public root when the name is "Public" (any case, at its first or
// second character) followed by its end or a separator; empty for other names.
std::optional<std::string> PublicFolderRest(std::string_view folder);

// The permission chain for changing public folders: the post office's "Public Folders"
// option, then the webmail setting, which may defer to the post office's and then the
// mailbox's modification option.
bool PublicFolderModificationPermitted(std::string_view postOffice, std::string_view mailbox);

}  // namespace kz::actions
