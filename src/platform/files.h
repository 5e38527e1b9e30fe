#pragma once
// File system access for the agent: text-mode reading, atomic replacement, lookups
// that tell "not found" from other errors, and case-insensitive path resolution.

#include <chrono>
#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// "Not found" covers: file not found, path not found, invalid name, no more files.
enum class FileStatus { Ok, NotFound, Error };

struct FileSize {
    FileStatus status = FileStatus::NotFound;
    uint64_t size = 0;
};

// Joins a directory and a name with '/', as the agent's "%s\%s" paths do; no doubled
// separator when `dir` ends with '/', and an empty `dir` gives the name alone.
std::string joinPath(std::string_view dir, std::string_view name);
// Backslashes in administrator data become '/'.
std::string toNativeSeparators(std::string_view path);

// The path as it exists on disk: each component that does not exist with its exact
// spelling is matched without regard to case within its directory. Components that
// match nothing keep their spelling, so the result names where a new file would go.
// Several entries differing only in case: the first in byte order wins.
std::string resolvePath(std::string_view path);

// Whole-file reads. readTextFile turns each CR LF into LF, as Windows text mode does.
std::optional<std::string> readFile(std::string_view path);
std::optional<std::string> readTextFile(std::string_view path);

// A file open for reading as a stream of bytes, for files read a line or a chunk at a
// time; others may read, replace or delete it meanwhile (on Windows too, where the path
// goes through the wide functions). Null when it cannot be opened.
std::unique_ptr<std::istream> openInputStream(std::string_view path);

// At most `limit` bytes from the start of a file, and whether it holds more; empty when
// it cannot be opened or is not a plain file. A read that fails keeps what came before.
struct FilePrefix {
    std::string text;
    bool cut = false;
};
std::optional<FilePrefix> readFilePrefix(std::string_view path, std::size_t limit);

// Writes the whole content under a temporary name in the same directory, flushes it,
// then renames it over `path` and flushes the folder, so readers see the old or the new
// file, never a torn one, and the new name survives a power loss. A replaced file keeps
// its permissions; on failure no temporary is left behind. A caller that renames the file
// again within the same folder, and flushes the folder then, passes flushFolder = false.
bool writeFileAtomic(std::string_view path, std::string_view content, bool flushFolder = true);
// Writes the whole content to `path` (created, or emptied first) and flushes it, for a
// name nobody reads until it is renamed: a file that is cut short is removed. The file
// takes the permissions of `permissionsFrom` when that exists.
bool writeFileFlushed(std::string_view path, std::string_view content,
                      std::string_view permissionsFrom = {});
// Appends (creating the file when missing).
bool appendFile(std::string_view path, std::string_view content);

// Copies with overwrite; the copy becomes visible under `to` only complete (and flushed,
// with its folder, as writeFileAtomic does). The copy takes the permissions of `from`.
bool copyFile(std::string_view from, std::string_view to);
// Renames within one file system, replacing an existing `to` atomically. The folders are
// not flushed: a caller that publishes a file by the rename calls flushFolder.
bool renameFile(std::string_view from, std::string_view to);

// Flushes a folder's entries (names created, renamed or removed in it) to disk, so a
// rename that published a file survives a power loss. True when flushed, or when folder
// flushing is off (for file systems without a disk, such as tmpfs, and for tests).
bool flushFolder(std::string_view dir);
// The folder of a path (empty for a bare name) flushed as flushFolder does.
bool flushFolderOf(std::string_view path);
// On by default; one switch for the process.
void setFolderFlush(bool on);
bool removeFile(std::string_view path);

// Creates one directory level (its parent must exist). True when it exists afterwards.
bool createDirectory(std::string_view path);

// Ok when it exists (file or directory); NotFound when it or a directory on its way is
// missing, is not a directory, or the name is invalid; Error otherwise (e.g. no access).
FileStatus fileStatus(std::string_view path);
bool isDirectory(std::string_view path);
FileSize fileSize(std::string_view path);  // a directory has size 0

// A file's size (0 for a directory) and when its content last changed, taken in one
// lookup; empty when it cannot be looked up.
struct FileVersion {
    uint64_t size = 0;
    std::chrono::system_clock::time_point modified;
    bool operator==(const FileVersion&) const = default;
};
std::optional<FileVersion> fileVersion(std::string_view path);

// Names of the entries of a directory (not "." and ".."), unsorted.
std::vector<std::string> listDirectory(std::string_view dir);
// Names of the subdirectories only (symbolic links are not followed), unsorted.
std::vector<std::string> listSubdirectories(std::string_view dir);

// A unique temporary name next to `path` (same directory, so a rename is atomic),
// hidden (leading '.') and ending in ".tmp", so scans for real names skip it.
std::string temporaryNameFor(std::string_view path);
// True for a name of the form temporaryNameFor gives (a leading '.', ".tmp" at the end).
bool isTemporaryName(std::string_view name);

}  // namespace kz::platform
