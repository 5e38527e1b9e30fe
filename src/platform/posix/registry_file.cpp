// The registry file on disk: versions told apart by identity, size and time; replaced
// whole under a lock shared by every process.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/registry_internal.h"

namespace kz::platform::reg {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp.";
constexpr std::size_t kTemporarySuffixLength = 6;  // the XXXXXX of mkostemp

FileId idOf(const struct stat& st) {
    FileId id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtimeSeconds = st.st_mtim.tv_sec;
    id.mtimeNanoseconds = st.st_mtim.tv_nsec;
    id.mode = st.st_mode & 07777;
    id.owner = st.st_uid;
    id.group = st.st_gid;
    return id;
}

RegResult ioError(const std::string& what, const std::string& path, int error) {
    return {RegStatus::IoError, what + " " + path + ": " + std::strerror(error)};
}

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        content.remove_prefix(std::size_t(n));
    }
    return true;
}

// Makes the file's modification time later than the previous version's.
void advanceTime(int fd, const FileId& previous) {
    struct stat st {};
    if (!previous.exists || ::fstat(fd, &st) != 0) return;
    bool later = st.st_mtim.tv_sec > previous.mtimeSeconds ||
                 (st.st_mtim.tv_sec == previous.mtimeSeconds &&
                  st.st_mtim.tv_nsec > previous.mtimeNanoseconds);
    if (later) return;
    struct timespec times[2] = {{0, UTIME_OMIT},
                                {previous.mtimeSeconds, previous.mtimeNanoseconds + 1}};
    if (times[1].tv_nsec >= 1000000000L) {
        times[1].tv_sec += 1;
        times[1].tv_nsec = 0;
    }
    ::futimens(fd, times);
}

void syncDirectory(const std::string& path) {
    posix::UniqueFd fd(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

// Writes the temporary file completely and durably; the caller renames it.
RegResult writeTemporary(int fd, const std::string& temporary, std::string_view content,
                         const FileId& previous, FileId& written) {
    mode_t mode = previous.exists ? previous.mode : 0644;
    if (::fchmod(fd, mode) != 0) return ioError("cannot set the mode of", temporary, errno);
    if (previous.exists && ::geteuid() == 0) {
        (void)!::fchown(fd, previous.owner, previous.group);  // keep the file its owner's
    }
    if (!writeAll(fd, content)) return ioError("cannot write", temporary, errno);
    advanceTime(fd, previous);
    if (::fsync(fd) != 0) return ioError("cannot flush", temporary, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return ioError("cannot examine", temporary, errno);
    written = idOf(st);
    return {};
}

}  // namespace

bool FileId::sameVersion(const FileId& other) const {
    if (exists != other.exists) return false;
    return !exists ||
           (device == other.device && inode == other.inode && size == other.size &&
            mtimeSeconds == other.mtimeSeconds && mtimeNanoseconds == other.mtimeNanoseconds);
}

std::string resolveLinks(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

FileId statFile(const std::string& path, int& error) {
    struct stat st {};
    error = ::stat(path.c_str(), &st) == 0 ? 0 : errno;
    return error == 0 ? idOf(st) : FileId{};
}

FileContent readWholeFile(const std::string& path) {
    FileContent content;
    posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT) content.status = ioError("cannot open", path, errno);
        return content;
    }
    // The identity comes from the open file, so it names exactly the bytes read.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        content.status = ioError("cannot examine", path, errno);
        return content;
    }
    content.id = idOf(st);
    content.bytes.reserve(std::size_t(st.st_size));
    std::string buffer(65536, '\0');
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) content.status = ioError("cannot read", path, errno);
        if (n <= 0) break;
        content.bytes.append(buffer, 0, std::size_t(n));
    }
    return content;
}

FileLock::FileLock(const std::string& path) {
    std::string lockPath = path + ".lock";
    // flock needs no write access, so a lock file made by another account still serves.
    fd_ = posix::UniqueFd(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!fd_.valid()) {
        status_ = ioError("cannot open the lock file", lockPath, errno);
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_.get(), LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        status_ = ioError("cannot lock", lockPath, errno);
        fd_.reset();
    }
}

RegResult replaceFile(const std::string& path, std::string_view content, const FileId& previous,
                      FileId& written) {
    std::string temporary = path + std::string(kTemporaryMark) + "XXXXXX";
    posix::UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) return ioError("cannot create a temporary file for", path, errno);
    RegResult result = writeTemporary(fd.get(), temporary, content, previous, written);
    if (!fd.close() && result.ok()) result = ioError("cannot close", temporary, errno);
    if (result.ok() && ::rename(temporary.c_str(), path.c_str()) != 0) {
        result = ioError("cannot replace", path, errno);
    }
    if (!result.ok()) {
        ::unlink(temporary.c_str());
        return result;
    }
    syncDirectory(path);
    return result;
}

void removeStaleTemporaries(const std::string& path) {
    std::string directory = directoryOf(path);
    std::string prefix = path.substr(path.rfind('/') + 1) + std::string(kTemporaryMark);
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return;
    while (const struct dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kTemporarySuffixLength && name.starts_with(prefix)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

}  // namespace kz::platform::reg
