// A stream over a file handle opened through the wide functions: std::ifstream would take
// a UTF-8 path in the ANSI code page and without the long-path form.

#include <windows.h>

#include <array>

#include "platform/files.h"
#include "platform/win32/shared_open.h"

namespace kz::platform {

namespace {

class HandleBuffer : public std::streambuf {
  public:
    explicit HandleBuffer(HANDLE file) : file_(file) {}
    ~HandleBuffer() override { CloseHandle(file_); }
    HandleBuffer(const HandleBuffer&) = delete;
    HandleBuffer& operator=(const HandleBuffer&) = delete;

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        DWORD n = 0;
        // A read that fails ends the stream, as a file stream's does.
        if (!ReadFile(file_, chunk_.data(), DWORD(chunk_.size()), &n, nullptr) || n == 0)
            return traits_type::eof();
        setg(chunk_.data(), chunk_.data(), chunk_.data() + n);
        return traits_type::to_int_type(*gptr());
    }

    // Only the rewind to the start that readers of mbox files make.
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        LARGE_INTEGER to{};
        to.QuadPart = std::streamoff(position);
        if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) return pos_type(off_type(-1));
        setg(chunk_.data(), chunk_.data(), chunk_.data());
        return position;
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir way,
                     std::ios_base::openmode which) override {
        if (way != std::ios_base::beg) return pos_type(off_type(-1));
        return seekpos(pos_type(offset), which);
    }

  private:
    HANDLE file_;
    std::array<char, 64 * 1024> chunk_;
};

class HandleStream : public std::istream {
  public:
    explicit HandleStream(HANDLE file) : std::istream(nullptr), buffer_(file) { rdbuf(&buffer_); }

  private:
    HandleBuffer buffer_;
};

}  // namespace

std::unique_ptr<std::istream> openInputStream(std::string_view path) {
    HANDLE file = win32::openForReading(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HandleStream>(file);
}

}  // namespace kz::platform
