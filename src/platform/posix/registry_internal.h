#pragma once
// Pieces shared by the registry's text format, its in-memory model and its file store.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "platform/posix/unique_fd.h"
#include "platform/registry.h"

namespace kz::platform::reg {

// Names compare with ASCII letters folded, whatever the locale.
inline bool namesEqual(std::string_view a, std::string_view b) {
    return equalsIgnoreCase(a, b);
}
// True when `path` is `key` or lies below it ("A\B" is below "a").
bool isSameOrBelow(std::string_view path, std::string_view key);

// Text values are held as the bytes a reader gets, which need not be UTF-8. So that
// any bytes survive a version 5.00 file, a byte that is not part of UTF-8 is written as
// the lone low surrogate U+DC00 plus the byte, and read back as that byte.
// UTF-16LE bytes to UTF-8; other unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
// UTF-8 to UTF-16LE bytes.
std::string utf8ToUtf16le(std::string_view utf8);

// The keys of one registry file with their values, in file order.
class Model {
  public:
    const std::vector<RegKey>& keys() const { return keys_; }
    const RegKey* find(std::string_view path) const;
    bool keyExists(std::string_view path) const;
    std::vector<std::string> subkeys(std::string_view path) const;

    // Each returns true when the model changed.
    bool setValue(std::string_view path, const RegValue& value);
    bool deleteValue(std::string_view path, std::string_view name);
    bool createKey(std::string_view path);
    bool deleteKey(std::string_view path);  // with its subkeys
    bool apply(const std::vector<RegKey>& sections);

  private:
    RegKey* findMutable(std::string_view path);
    std::vector<RegKey> keys_;
};

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
