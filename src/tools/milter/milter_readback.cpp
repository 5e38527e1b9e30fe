#include "milter_readback.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "milter_digest.h"

namespace kz::tool {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

class File {
  public:
    explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) error_ = errno;
    }
    ~File() {
        if (fd_ >= 0) close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool missing() const { return fd_ < 0 && error_ == ENOENT; }
    bool opened() const { return fd_ >= 0; }
    // Bytes read (0 at the end), or -1 with the error kept.
    ssize_t read(char* into, std::size_t size) {
        ssize_t n;
        do {
            n = ::read(fd_, into, size);
        } while (n < 0 && errno == EINTR);
        if (n < 0) error_ = errno;
        return n;
    }
    bool seek(std::uint64_t offset) {
        if (lseek(fd_, off_t(offset), SEEK_SET) >= 0) return true;
        error_ = errno;
        return false;
    }
    std::string error(const std::string& path) const { return path + ": " + std::strerror(error_); }

  private:
    int fd_;
    int error_ = 0;
};

// Where the body starts in `text` (after the first empty line), or npos while no empty
// line has come; `from` is where the search may resume.
std::size_t BodyStart(std::string_view text, std::size_t from) {
    for (std::size_t line = from; line < text.size();) {
        std::size_t end = text.find('\n', line);
        if (end == std::string_view::npos) return std::string_view::npos;
        std::string_view content = text.substr(line, end - line);
        if (content.empty() || content == "\r") return end + 1;
        line = end + 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::size_t BodyStartOf(std::string_view text) {
    std::size_t start = BodyStart(text, 0);
    return start == std::string_view::npos ? text.size() : start;
}

QueuedAfterRun ReadQueuedMessage(const std::string& messageFile, const std::string& commandFile,
                                 std::size_t headerLimit) {
    QueuedAfterRun out;
    File commands(commandFile);
    File message(messageFile);
    if (commands.missing() || message.missing()) {
        out.state = QueuedAfterRun::State::Gone;
        return out;
    }
    char buffer[kPiece];
    for (File* file : {&commands, &message}) {
        if (!file->opened()) {
            out.why = file->error(file == &commands ? commandFile : messageFile);
            return out;
        }
    }
    for (ssize_t n; (n = commands.read(buffer, sizeof buffer)) != 0;) {
        if (n < 0 || out.commands.size() > headerLimit) {
            out.why = n < 0 ? commands.error(commandFile) : commandFile + ": too large";
            return out;
        }
        out.commands.append(buffer, std::size_t(n));
    }
    // The header block, then the body into the digest piece by piece.
    BodyDigest digest;
    std::size_t searched = 0;
    bool inBody = false;
    for (ssize_t n; (n = message.read(buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            out.why = message.error(messageFile);
            return out;
        }
        std::string_view piece(buffer, std::size_t(n));
        if (!inBody) {
            // A line end may straddle two pieces: look again from the last line start.
            std::size_t resume =
                searched == 0 ? std::string::npos : out.headers.rfind('\n', searched - 1);
            resume = resume == std::string::npos ? 0 : resume + 1;
            out.headers.append(piece);
            std::size_t start = BodyStart(out.headers, resume);
            searched = out.headers.size();
            if (start == std::string::npos) {
                if (out.headers.size() > headerLimit) {
                    out.why = messageFile + ": header block too large";
                    return out;
                }
                continue;
            }
            inBody = true;
            digest.add(std::string_view(out.headers).substr(start));
            out.headers.resize(start);
            out.bodyOffset = start;
            continue;
        }
        digest.add(piece);
    }
    if (!inBody) out.bodyOffset = out.headers.size();  // no blank line: no body
    out.bodyDigest = digest.finish();
    out.state = QueuedAfterRun::State::Queued;
    return out;
}

bool StreamFileFrom(const std::string& path, std::uint64_t offset,
                    const std::function<bool(std::string_view)>& take, std::string& why) {
    File file(path);
    if (!file.opened() || !file.seek(offset)) {
        why = file.error(path);
        return false;
    }
    char buffer[kPiece];
    for (ssize_t n; (n = file.read(buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            why = file.error(path);
            return false;
        }
        if (!take(std::string_view(buffer, std::size_t(n)))) {
            why = "the MTA refused the new body";
            return false;
        }
    }
    return true;
}

}  // namespace kz::tool
