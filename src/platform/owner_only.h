#pragma once
// Files and folders that only their owner may read: mail held for an administrator
// (quarantine, bad mail) is nobody else's business. Folders are made 0700 and files 0600;
// on Windows both take the access rules of their parent folder, as every file there does.

#include <string_view>

namespace kz::platform {

// copyFile (files.h), the copy readable by its owner alone.
bool copyFileOwnerOnly(std::string_view from, std::string_view to);
// Makes an existing file its owner's alone (before it is renamed into a private folder).
bool restrictToOwner(std::string_view path);
// createDirectory (files.h), the new folder its owner's alone; an existing one is kept
// as it is.
bool createDirectoryOwnerOnly(std::string_view path);
// Whether a new file can be made in the folder: one is created and removed again.
bool canCreateFileIn(std::string_view dir);

}  // namespace kz::platform
