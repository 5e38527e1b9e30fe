#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/owner_only.h"
#include "platform/posix/unique_fd.h"

namespace kz::platform {

using posix::UniqueFd;

namespace {

constexpr size_t kCopyChunk = 64 * 1024;
std::atomic<bool> gFolderFlush{true};
constexpr int kTemporaryAttempts = 16;

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(size_t(n));
    }
    return true;
}

// Reads up to `limit` bytes; 0 at end of file, -1 on error.
ssize_t readSome(int fd, char* buffer, size_t limit) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, limit);
        if (n >= 0 || errno != EINTR) return n;
    }
}

// A regular file is read in one read of its size, into a buffer of that size; what follows
// (a file that grew meanwhile, or one without a size, such as a pipe) in small pieces.
bool readAll(int fd, std::string& out) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        out.resize(size_t(st.st_size));
        for (size_t used = 0; used < out.size();) {
            ssize_t n = readSome(fd, out.data() + used, out.size() - used);
            if (n < 0) return false;
            if (n == 0) {  // it shrank meanwhile
                out.resize(used);
                return true;
            }
            used += size_t(n);
        }
    }
    std::array<char, 4096> piece;
    for (;;) {
        ssize_t n = readSome(fd, piece.data(), piece.size());
        if (n <= 0) return n == 0;
        out.append(piece.data(), size_t(n));
    }
}

UniqueFd openForReading(std::string_view path) {
    return UniqueFd(::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC));
}

// Writes a new file under a temporary name next to `target` with `fill`, flushes it
// to disk and renames it over `target`. The temporary never outlives a failure.
// `mode` < 0 leaves the permissions to the umask.
bool replaceAtomically(std::string_view target, int mode, const std::function<bool(int)>& fill,
                       bool flushFolder = true) {
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < kTemporaryAttempts && !fd.valid(); ++attempt) {
        temporary = temporaryNameFor(target);
        fd = UniqueFd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) return false;
    }
    if (!fd.valid()) return false;
    if (mode >= 0) ::fchmod(fd.get(), mode_t(mode));
    bool ok = fill(fd.get()) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temporary.c_str(), std::string(target).c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok && (!flushFolder || flushFolderOf(target));
}

FileStatus statusForError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL:
            return FileStatus::NotFound;
        default:
            return FileStatus::Error;
    }
}

int permissionsOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? int(st.st_mode & 07777) : -1;
}

}  // namespace

std::optional<std::string> readFile(std::string_view path) {
    UniqueFd fd = openForReading(path);
    std::string content;
    if (!fd.valid() || !readAll(fd.get(), content)) return std::nullopt;
    return content;
}

std::unique_ptr<std::istream> openInputStream(std::string_view path) {
    auto file = std::make_unique<std::ifstream>(std::string(path), std::ios::binary);
    if (!file->is_open()) return nullptr;
    return file;
}

std::optional<FilePrefix> readFilePrefix(std::string_view path, std::size_t limit) {
    UniqueFd fd = openForReading(path);
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FilePrefix prefix;
    prefix.cut = uint64_t(st.st_size) > limit;
    prefix.text.resize(prefix.cut ? limit : size_t(st.st_size));
    size_t used = 0;
    while (used < prefix.text.size()) {
        ssize_t n = readSome(fd.get(), prefix.text.data() + used, prefix.text.size() - used);
        if (n <= 0) break;
        used += size_t(n);
    }
    prefix.text.resize(used);
    return prefix;
}

bool writeFileAtomic(std::string_view path, std::string_view content, bool flushFolder) {
    // A replaced file keeps its permissions.
    UniqueFd existing = openForReading(path);
    int mode = existing.valid() ? permissionsOf(existing.get()) : -1;
    existing.reset();
    return replaceAtomically(
        path, mode, [content](int fd) { return writeAll(fd, content); }, flushFolder);
}

bool writeFileFlushed(std::string_view path, std::string_view content,
                      std::string_view permissionsFrom) {
    const std::string name(path);
    // Never through a link someone left under the name.
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    struct stat st {};
    if (!permissionsFrom.empty() && ::stat(std::string(permissionsFrom).c_str(), &st) == 0)
        ::fchmod(fd.get(), st.st_mode & 07777);
    bool ok = writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (!ok) ::unlink(name.c_str());
    return ok;
}

bool appendFile(std::string_view path, std::string_view content) {
    UniqueFd fd(::open(std::string(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    bool ok = writeAll(fd.get(), content);
    return fd.close() && ok;
}

namespace {

// Copies with overwrite through replaceAtomically; mode < 0 keeps the source's.
bool copyWithMode(std::string_view from, std::string_view to, int mode) {
    UniqueFd source = openForReading(from);
    if (!source.valid()) return false;
    auto copy = [&source](int target) {
        std::unique_ptr<char[]> buffer(new char[kCopyChunk]);
        for (;;) {
            ssize_t n = readSome(source.get(), buffer.get(), kCopyChunk);
            if (n <= 0) return n == 0;
            if (!writeAll(target, std::string_view(buffer.get(), size_t(n)))) return false;
        }
    };
    return replaceAtomically(to, mode < 0 ? permissionsOf(source.get()) : mode, copy);
}

}  // namespace

bool copyFile(std::string_view from, std::string_view to) {
    return copyWithMode(from, to, -1);
}

bool copyFileOwnerOnly(std::string_view from, std::string_view to) {
    return copyWithMode(from, to, 0600);
}

bool restrictToOwner(std::string_view path) {
    return ::chmod(std::string(path).c_str(), 0600) == 0;
}

bool renameFile(std::string_view from, std::string_view to) {
    return ::rename(std::string(from).c_str(), std::string(to).c_str()) == 0;
}

bool flushFolder(std::string_view dir) {
    if (!gFolderFlush.load(std::memory_order_relaxed)) return true;
    UniqueFd fd(
        ::open(dir.empty() ? "." : std::string(dir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool flushFolderOf(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return flushFolder({});
    return flushFolder(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

void setFolderFlush(bool on) {
    gFolderFlush.store(on, std::memory_order_relaxed);
}

bool removeFile(std::string_view path) {
    return ::unlink(std::string(path).c_str()) == 0;
}

namespace {

bool makeDirectory(std::string_view path, mode_t mode) {
    std::string p(path);
    if (::mkdir(p.c_str(), mode) == 0) return true;
    return errno == EEXIST && isDirectory(p);
}

}  // namespace

bool createDirectory(std::string_view path) {
    return makeDirectory(path, 0777);
}

bool createDirectoryOwnerOnly(std::string_view path) {
    return makeDirectory(path, 0700);
}

bool canCreateFileIn(std::string_view dir) {
    std::string probe = temporaryNameFor(joinPath(dir, "probe"));
    UniqueFd fd(::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid()) return false;
    fd.reset();
    ::unlink(probe.c_str());
    return true;
}

FileStatus fileStatus(std::string_view path) {
    struct stat st {};
    return ::stat(std::string(path).c_str(), &st) == 0 ? FileStatus::Ok : statusForError(errno);
}

bool isDirectory(std::string_view path) {
    struct stat st {};
    return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileSize fileSize(std::string_view path) {
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0) return FileSize{statusForError(errno), 0};
    // Only regular files have a content size; a directory's block size means nothing.
    return FileSize{FileStatus::Ok, S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0};
}

std::optional<FileVersion> fileVersion(std::string_view path) {
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0) return std::nullopt;
    auto since =
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
    return FileVersion{S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0,
                       std::chrono::system_clock::time_point(
                           std::chrono::duration_cast<std::chrono::system_clock::duration>(since))};
}

std::vector<std::string> listSubdirectories(std::string_view dir) {
    std::vector<std::string> names;
    std::string base(dir);
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(base.c_str()), &::closedir);
    if (!handle) return names;
    while (const dirent* entry = ::readdir(handle.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            directory = ::lstat(joinPath(base, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (directory) names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> listDirectory(std::string_view dir) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(std::string(dir).c_str()), &::closedir);
    if (!handle) return names;
    while (const dirent* entry = ::readdir(handle.get())) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

}  // namespace kz::platform
