#pragma once
// The registry's file store: versions of the file, its lock and its replacement.

#include <sys/types.h>

#include "platform/posix/registry_text.h"
#include "platform/posix/unique_fd.h"

namespace kz::platform::reg {

// What identifies one version of the file: a change of any field means a new version.
struct FileId {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t mtimeSeconds = 0;
    long mtimeNanoseconds = 0;
    mode_t mode = 0;  // carried over to the replacement, not part of the identity
    uid_t owner = 0;
    gid_t group = 0;

    bool sameVersion(const FileId& other) const;
};

struct FileContent {
    FileId id;
    std::string bytes;
    RegResult status;  // IoError when the file exists but cannot be read
};

// The file a symbolic link leads to, so a write replaces the file and keeps the link;
// the path itself when it does not exist yet.
std::string resolveLinks(const std::string& path);
FileId statFile(const std::string& path, int& error);
FileContent readWholeFile(const std::string& path);

// An exclusive lock shared by every process, held on "<path>.lock" until destruction.
class FileLock {
  public:
    explicit FileLock(const std::string& path);
    const RegResult& status() const { return status_; }

  private:
    posix::UniqueFd fd_;  // closing releases the lock
    RegResult status_;
};

// Replaces `path` with `content` through a synced temporary file and a rename. The new
// version's modification time is made later than `previous`'s, so even a same-size
// rewrite within one clock tick reads as a change. `written` receives the new identity.
RegResult replaceFile(const std::string& path, std::string_view content, const FileId& previous,
                      FileId& written);
// Removes temporary files that a killed writer left; call with the lock held.
void removeStaleTemporaries(const std::string& path);

}  // namespace kz::platform::reg
