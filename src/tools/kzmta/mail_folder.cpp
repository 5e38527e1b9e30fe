#include "mail_folder.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "platform/files.h"
#include "platform/utf8_path.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSeparator = "From ";
// A line is told apart (separator, quoted, other) by its first bytes; longer lines go on
// to the message without being held whole.
constexpr std::size_t kLineHead = 1024;
constexpr std::size_t kReadPiece = 64 * 1024;
// Deeper folders are not searched: a tree that deep is no mail store.
constexpr int kMaxFolderDepth = 64;

class MboxSplitter {
  public:
    MboxSplitter(const std::string& name, std::size_t maxMessage, const MessageVisitor& visit)
        : name_(name), max_(maxMessage), visit_(visit) {}

    // A piece of one line; `endsLine` when it ends with the line's line feed.
    void feed(std::string_view piece, bool endsLine) {
        if (!classified_) {
            std::size_t room = kLineHead - head_.size();
            head_.append(piece.substr(0, room));
            piece.remove_prefix(std::min(room, piece.size()));
            if (!endsLine && head_.size() < kLineHead) return;
            classify(endsLine && piece.empty());
        }
        if (!dropLine_) append(piece);
        if (endsLine) {
            classified_ = false;
            dropLine_ = false;
        }
    }

    void finish() {
        if (!classified_ && !head_.empty()) classify(true);
        // mboxrd ends the last message with an empty line as well.
        if (open_ && (tail_.ends_with("\n\n") || tail_.ends_with("\r\n\r\n"))) dropLineEnd();
        emit();
    }

  private:
    // head_ holds the line's first bytes; `whole` when that is the whole line.
    void classify(bool whole) {
        classified_ = true;
        const bool blank = whole && (head_ == "\n" || head_ == "\r\n");
        if (std::string_view(head_).starts_with(kSeparator) && (firstLine_ || previousBlank_)) {
            if (open_) dropLineEnd();  // the empty line before the separator
            emit();
            open_ = true;
            ++number_;
            dropLine_ = true;
        } else {
            std::size_t quotes = head_.find_first_not_of('>');
            if (quotes != std::string::npos && quotes > 0 &&
                std::string_view(head_).substr(quotes).starts_with(kSeparator))
                head_.erase(0, 1);
            append(head_);
        }
        firstLine_ = false;
        previousBlank_ = blank;
        head_.clear();
    }

    // The message's bytes are counted whole (fullSize_, its last bytes in tail_) while
    // only max_ of them are kept, so a cut message ends where an uncut one would.
    void append(std::string_view text) {
        if (!open_ || text.empty()) return;  // text before the first separator is no message
        fullSize_ += text.size();
        tail_.append(text.substr(text.size() - std::min<std::size_t>(text.size(), 4)));
        if (tail_.size() > 4) tail_.erase(0, tail_.size() - 4);
        std::size_t room = max_ - std::min(max_, current_.text.size());
        if (text.size() > room) current_.cut = true;
        current_.text.append(text.substr(0, room));
    }

    void dropLineEnd() {
        std::size_t end = tail_.ends_with("\r\n") ? 2 : tail_.ends_with("\n") ? 1 : 0;
        fullSize_ -= end;
        tail_.resize(tail_.size() - end);
        if (current_.text.size() >= fullSize_) {
            current_.text.resize(fullSize_);
            current_.cut = false;
        }
    }

    void emit() {
        if (open_ && fullSize_ > 0) {
            current_.name = name_ + "#" + std::to_string(number_);
            visit_(std::move(current_));
        }
        current_ = FolderMessage{};
        fullSize_ = 0;
        tail_.clear();
        open_ = false;
    }

    const std::string& name_;
    std::size_t max_;
    const MessageVisitor& visit_;
    std::string head_;
    bool classified_ = false;
    bool dropLine_ = false;
    bool firstLine_ = true;
    bool previousBlank_ = false;
    bool open_ = false;
    std::size_t number_ = 0;
    FolderMessage current_;
    std::size_t fullSize_ = 0;
    std::string tail_;
};

class FolderWalk {
  public:
    FolderWalk(const MessageVisitor& visit, const std::function<void(const std::string&)>& problem)
        : visit_(visit), problem_(problem) {}

    void path(const fs::path& path) {
        std::error_code error;
        if (fs::is_directory(path, error))
            folder(path, 0);
        else
            file(path);
    }

  private:
    void folder(const fs::path& dir, int depth) {
        if (depth > kMaxFolderDepth) {
            problem_(platform::utf8FromPath(dir) + ": folders nested too deep, not searched");
            return;
        }
        std::vector<fs::path> files, folders;
        std::error_code error;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            std::error_code kind;
            // Linked folders are not followed: a link may lead back up the tree.
            if (it->is_symlink(kind) && it->is_directory(kind)) continue;
            if (it->is_directory(kind))
                folders.push_back(it->path());
            else if (it->path().filename().u8string().starts_with(u8"."))
                continue;  // hidden files are a mail store's indexes and markers
            else
                files.push_back(it->path());
        }
        if (error) problem_(platform::utf8FromPath(dir) + ": " + error.message());
        std::sort(files.begin(), files.end());
        std::sort(folders.begin(), folders.end());
        auto named = [&folders](const char* name) {
            return std::find_if(folders.begin(), folders.end(), [name](const fs::path& p) {
                       return p.filename() == name;
                   }) != folders.end();
        };
        if (named("cur") || named("new")) {
            // A Maildir: its own files are the store's, its messages are in cur and new.
            for (const char* sub : {"cur", "new"})
                if (named(sub)) folder(dir / sub, depth + 1);
            for (const fs::path& sub : folders) {
                const fs::path name = sub.filename();
                if (name != "cur" && name != "new" && name != "tmp") folder(sub, depth + 1);
            }
            return;
        }
        for (const fs::path& f : files) file(f);
        for (const fs::path& sub : folders) folder(sub, depth + 1);
    }

    void file(const fs::path& path) {
        const std::unique_ptr<std::istream> stream =
            platform::openInputStream(platform::utf8FromPath(path));
        if (!stream) {
            problem_(platform::utf8FromPath(path) + ": cannot be read");
            return;
        }
        std::istream& in = *stream;
        FolderMessage message;
        message.name = platform::utf8FromPath(path);
        message.file = message.name;
        char start[kSeparator.size()] = {};
        in.read(start, std::streamsize(sizeof start));
        std::string_view read(start, std::size_t(in.gcount()));
        if (read == kSeparator) {
            in.clear();
            in.seekg(0);
            ReadMbox(in, message.name, kMaxFolderMessage, visit_);
            return;
        }
        message.text.assign(read);
        std::string piece(kReadPiece, '\0');
        while (in) {
            in.read(piece.data(), std::streamsize(piece.size()));
            std::size_t got = std::size_t(in.gcount());
            std::size_t room = kMaxFolderMessage - message.text.size();
            if (got > room) message.cut = true;
            message.text.append(piece, 0, std::min(got, room));
            if (message.cut) break;
        }
        if (!message.text.empty()) visit_(std::move(message));
    }

    const MessageVisitor& visit_;
    const std::function<void(const std::string&)>& problem_;
};

}  // namespace

void ReadMbox(std::istream& in, const std::string& name, std::size_t maxMessage,
              const MessageVisitor& visit) {
    MboxSplitter splitter(name, maxMessage, visit);
    std::string buffer(kReadPiece, '\0');
    while (in) {
        in.read(buffer.data(), std::streamsize(buffer.size()));
        std::string_view chunk(buffer.data(), std::size_t(in.gcount()));
        while (!chunk.empty()) {
            std::size_t lineFeed = chunk.find('\n');
            std::size_t length = lineFeed == std::string_view::npos ? chunk.size() : lineFeed + 1;
            splitter.feed(chunk.substr(0, length), lineFeed != std::string_view::npos);
            chunk.remove_prefix(length);
        }
    }
    splitter.finish();
}

void ReadMailFolders(const std::vector<std::string>& paths, const MessageVisitor& visit,
                     const std::function<void(const std::string&)>& problem) {
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::exists(platform::pathFromUtf8(path), error))
            throw std::runtime_error("no such file or folder: " + path);
    }
    FolderWalk walk(visit, problem);
    for (const std::string& path : paths) walk.path(platform::pathFromUtf8(path));
}

}  // namespace kz::tool
