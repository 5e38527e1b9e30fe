#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/append_file.h"
#include "platform/owner_only.h"
#include "platform/win32/handle_write.h"
#include "platform/win32/shared_open.h"
#include "platform/win32/windows_text.h"

namespace kz::platform {

HANDLE win32::openForReading(std::string_view path) {
    return CreateFileW(win32::widePath(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

namespace {

constexpr size_t kCopyChunk = 64 * 1024;
constexpr int kTemporaryAttempts = 16;
// On-access scanners and indexers hold queue files open for moments at a time: a
// replacement they block is tried again, for about two seconds in all.
constexpr int kReplaceAttempts = 12;
constexpr DWORD kFirstRetryMs = 10;
constexpr DWORD kLongestRetryMs = 250;

// FileRenameInfoEx and its flags, which older headers lack.
constexpr FILE_INFO_BY_HANDLE_CLASS kFileRenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

struct FileHandle {
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() {
        if (valid()) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
    bool close() {
        bool ok = !valid() || CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        return ok;
    }
    HANDLE handle;
};

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Reads into `out` until the end; false on a read error. A file is read in one read of
// its size, into a buffer of that size; what follows (a file that grew meanwhile, or one
// without a size) in small pieces.
bool readAll(HANDLE file, std::string& out) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        out.resize(size_t(size.QuadPart));
        for (size_t used = 0; used < out.size();) {
            DWORD n = 0;
            DWORD wanted = DWORD(std::min<size_t>(out.size() - used, size_t(1) << 30));
            if (!ReadFile(file, out.data() + used, wanted, &n, nullptr)) return false;
            if (n == 0) {  // it shrank meanwhile
                out.resize(used);
                return true;
            }
            used += n;
        }
    }
    std::array<char, 4096> piece;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, piece.data(), DWORD(piece.size()), &n, nullptr)) return false;
        if (n == 0) return true;
        out.append(piece.data(), n);
    }
}

// The rename with POSIX semantics: the name moves over the target even while others
// hold the target open with delete sharing; they keep reading what they opened.
bool renamePosix(const std::wstring& from, const std::wstring& to) {
    const std::wstring full = win32::fullPathName(to);
    if (full.empty()) return false;
    HANDLE file = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::size_t nameBytes = full.size() * sizeof(wchar_t);
    const std::size_t size = offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t);
    std::vector<std::max_align_t> buffer(size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with the older ReplaceIfExists.
    const DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(info, &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    std::memcpy(info->FileName, full.c_str(), nameBytes + sizeof(wchar_t));
    const BOOL renamed = SetFileInformationByHandle(file, kFileRenameInfoEx, info, DWORD(size));
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return renamed;
}

bool heldByOthers(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Moves `from` over `to`: with POSIX semantics where the system has them, else with
// MoveFileEx (written through), tried again while others hold either file.
bool moveOver(const std::wstring& from, const std::wstring& to) {
    DWORD pause = kFirstRetryMs;
    for (int attempt = 1;; ++attempt) {
        if (renamePosix(from, to) ||
            MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (attempt == kReplaceAttempts || !heldByOthers(GetLastError())) return false;
        Sleep(pause);
        pause = std::min(pause * 2, kLongestRetryMs);
    }
}

// Fills a new temporary file next to `target` and moves it over the target. The data
// is on the disk before the rename publishes it.
bool replaceAtomically(std::string_view target, const std::function<bool(HANDLE)>& fill) {
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kTemporaryAttempts && created == INVALID_HANDLE_VALUE;
         ++attempt) {
        temporary = win32::widePath(temporaryNameFor(target));
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    FileHandle file(created);
    if (!file.valid()) return false;
    bool ok = fill(file.handle) && FlushFileBuffers(file.handle);
    ok = file.close() && ok;
    ok = ok && moveOver(temporary, win32::widePath(target));
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

FileStatus statusForError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_NO_MORE_FILES:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            return FileStatus::NotFound;
        default:
            return FileStatus::Error;
    }
}

template <typename Keep>
std::vector<std::string> listEntries(std::string_view dir, Keep keep) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    HANDLE find =
        FindFirstFileW(win32::widePath(joinPath(dir.empty() ? "." : dir, "*")).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L".." && keep(entry)) names.push_back(win32::narrow(name));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

bool attributesOf(std::string_view path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(win32::widePath(path).c_str(), GetFileExInfoStandard, &data);
}

}  // namespace

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && !isSeparator(path.back())) path += '\\';
    path += name;
    return path;
}

std::string toNativeSeparators(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

// The file system itself ignores case.
std::string resolvePath(std::string_view path) {
    return std::string(path);
}

std::optional<std::string> readFile(std::string_view path) {
    FileHandle file(win32::openForReading(path));
    std::string content;
    if (!file.valid() || !readAll(file.handle, content)) return std::nullopt;
    return content;
}

std::optional<FilePrefix> readFilePrefix(std::string_view path, std::size_t limit) {
    FileHandle file(win32::openForReading(path));
    LARGE_INTEGER size{};
    if (!file.valid() || GetFileType(file.handle) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.handle, &size))
        return std::nullopt;
    FilePrefix prefix;
    prefix.cut = uint64_t(size.QuadPart) > limit;
    prefix.text.resize(prefix.cut ? limit : size_t(size.QuadPart));
    size_t used = 0;
    while (used < prefix.text.size()) {
        DWORD n = 0;
        DWORD wanted = DWORD(std::min<size_t>(prefix.text.size() - used, size_t(1) << 30));
        if (!ReadFile(file.handle, prefix.text.data() + used, wanted, &n, nullptr) || n == 0) break;
        used += n;
    }
    prefix.text.resize(used);
    return prefix;
}

// The rename is written through, so there is no folder to flush afterwards.
bool writeFileAtomic(std::string_view path, std::string_view content, bool) {
    return replaceAtomically(path,
                             [content](HANDLE file) { return win32::writeAllTo(file, content); });
}

// Files inherit their folder's permissions here.
bool writeFileFlushed(std::string_view path, std::string_view content, std::string_view) {
    const std::wstring name = win32::widePath(path);
    FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    bool ok = win32::writeAllTo(file.handle, content) && FlushFileBuffers(file.handle);
    ok = file.close() && ok;
    if (!ok) DeleteFileW(name.c_str());
    return ok;
}

bool appendFile(std::string_view path, std::string_view content) {
    AppendFile file;
    return file.open(path) && file.append(content);
}

bool copyFile(std::string_view from, std::string_view to) {
    FileHandle source(win32::openForReading(from));
    if (!source.valid()) return false;
    return replaceAtomically(to, [&source](HANDLE target) {
        std::unique_ptr<char[]> buffer(new char[kCopyChunk]);
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(source.handle, buffer.get(), DWORD(kCopyChunk), &n, nullptr))
                return false;
            if (n == 0) return true;
            if (!win32::writeAllTo(target, std::string_view(buffer.get(), n))) return false;
        }
    });
}

bool renameFile(std::string_view from, std::string_view to) {
    return moveOver(win32::widePath(from), win32::widePath(to));
}

// NTFS journals its folder entries and renames are written through; nothing to do.
bool flushFolder(std::string_view) {
    return true;
}

bool flushFolderOf(std::string_view) {
    return true;
}

void setFolderFlush(bool) {}

bool removeFile(std::string_view path) {
    return DeleteFileW(win32::widePath(path).c_str());
}

// Files and folders take the access rules of their parent folder.
bool copyFileOwnerOnly(std::string_view from, std::string_view to) {
    return copyFile(from, to);
}

bool restrictToOwner(std::string_view) {
    return true;
}

bool createDirectory(std::string_view path) {
    if (CreateDirectoryW(win32::widePath(path).c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && isDirectory(path);
}

bool createDirectoryOwnerOnly(std::string_view path) {
    return createDirectory(path);
}

bool canCreateFileIn(std::string_view dir) {
    std::string probe = temporaryNameFor(joinPath(dir, "probe"));
    HANDLE file = CreateFileW(win32::widePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

FileStatus fileStatus(std::string_view path) {
    if (GetFileAttributesW(win32::widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return FileStatus::Ok;
    return statusForError(GetLastError());
}

bool isDirectory(std::string_view path) {
    DWORD attributes = GetFileAttributesW(win32::widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileSize fileSize(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributesOf(path, data)) return FileSize{statusForError(GetLastError()), 0};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FileSize{FileStatus::Ok, 0};
    return FileSize{FileStatus::Ok, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

std::optional<FileVersion> fileVersion(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributesOf(path, data)) return std::nullopt;
    const bool directory = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    const uint64_t size = directory ? 0 : (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // 100 ns ticks since 1601; 11644473600 s lie between 1601 and 1970.
    uint64_t ticks =
        (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    auto since =
        std::chrono::nanoseconds(int64_t(ticks) * 100) - std::chrono::seconds(11644473600LL);
    return FileVersion{size,
                       std::chrono::system_clock::time_point(
                           std::chrono::duration_cast<std::chrono::system_clock::duration>(since))};
}

std::vector<std::string> listDirectory(std::string_view dir) {
    return listEntries(dir, [](const WIN32_FIND_DATAW&) { return true; });
}

// Junctions and symbolic links to folders are not followed.
std::vector<std::string> listSubdirectories(std::string_view dir) {
    return listEntries(dir, [](const WIN32_FIND_DATAW& entry) {
        return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    });
}

}  // namespace kz::platform
