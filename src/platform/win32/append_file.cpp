#include "platform/append_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/win32/handle_write.h"
#include "platform/win32/windows_text.h"

namespace kz::platform {

AppendFile::~AppendFile() {
    close();
}

// FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the end of the
// file, as one piece, whoever else appends meanwhile.
bool AppendFile::open(std::string_view path) {
    close();
    HANDLE file = CreateFileW(win32::widePath(path).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
    if (fd_ < 0) CloseHandle(file);
    return fd_ >= 0;
}

bool AppendFile::append(std::string_view text) {
    if (fd_ < 0) return false;
    return win32::writeAllTo(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), text);
}

void AppendFile::close() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

}  // namespace kz::platform
