#pragma once
// A file kept open for appending. Each append is one write() on an O_APPEND
// descriptor, so lines appended by several threads or processes to the same file stay
// whole and in one piece.

#include <string_view>

namespace kz::platform {

class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (creating when missing) for appending; closes any file open before.
    bool open(std::string_view path);
    bool isOpen() const { return fd_ >= 0; }
    // Writes the whole text at the end of the file; nothing is buffered, so the text
    // is in the file when this returns.
    bool append(std::string_view text);
    void close();

  private:
    int fd_ = -1;
};

}  // namespace kz::platform
