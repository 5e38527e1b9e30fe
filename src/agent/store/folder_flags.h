#pragma once
// Flag files that tell the mail store a folder or its contents changed.

#include <string_view>

namespace kz::store {

constexpr std::string_view kFlagText =
    "This file is a flag file that denotes that this folder has been changed";

// Creates the last level of the folder; under a store root (MAILROOT, PUBROOT, FILEROOT)
// also flags its parent with "_FOLDER.DTY". True when the directory was created.
bool CreateStoreFolder(std::string_view path);

// Flags "<post office root>/MAILROOT/<mailbox>/<folder>/_CHANGE.DTY" and prints the
// console line. The operation word and message identifier do not change the flag.
void MarkFolderChanged(std::string_view postOffice, std::string_view mailbox,
                       std::string_view folder, std::string_view operation,
                       std::string_view messageId);

}  // namespace kz::store
