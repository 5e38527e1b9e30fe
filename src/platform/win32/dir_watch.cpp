#include "platform/dir_watch.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/win32/windows_text.h"

namespace kz::platform {

namespace {

std::atomic<bool> gStop{false};

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    gStop.store(true);
    return TRUE;
}

}  // namespace

DirectoryWatch::DirectoryWatch() = default;

DirectoryWatch::~DirectoryWatch() {
    for (void* handle : handles_) FindCloseChangeNotification(handle);
}

bool DirectoryWatch::add(std::string_view dir) {
    if (handles_.size() >= MAXIMUM_WAIT_OBJECTS) return false;
    HANDLE handle =
        FindFirstChangeNotificationW(win32::widePath(dir).c_str(), FALSE,
                                     FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handles_.push_back(handle);
    return true;
}

bool DirectoryWatch::wait(std::chrono::milliseconds bound) {
    if (handles_.empty()) return false;
    DWORD n = DWORD(handles_.size());
    DWORD first = WaitForMultipleObjects(n, handles_.data(), FALSE, DWORD(bound.count()));
    if (first >= WAIT_OBJECT_0 + n) return false;
    // Every folder that changed is consumed, not only the first.
    for (void* handle : handles_) {
        if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) FindNextChangeNotification(handle);
    }
    return true;
}

void installStopSignals() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool stopRequested() {
    return gStop.load();
}

}  // namespace kz::platform
