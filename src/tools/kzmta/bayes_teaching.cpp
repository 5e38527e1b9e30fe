#include "bayes_teaching.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <stdexcept>

#include "folder_progress.h"
#include "mail_folder.h"
#include "platform/utf8_path.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

// Where the copies go: TMPDIR when the administrator names one, else a file system in
// memory where the system has one (/dev/shm), since making files on a disk costs more
// than reading and learning the messages.
fs::path scratchBase() {
    std::error_code error;
    if (!std::getenv("TMPDIR") && fs::is_directory("/dev/shm", error)) return "/dev/shm";
    return fs::temp_directory_path();
}

// A private folder for the messages of mbox files, which the library reads as files;
// removed with what it holds. Its files are written over again and again: making new
// files costs the file system more than writing them.
class Scratch {
  public:
    Scratch() {
        std::random_device random;
        path_ = scratchBase() / ("kzmta-bayes-" + std::to_string(random()));
        fs::create_directory(path_);
        fs::permissions(path_, fs::perms::owner_all);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string write(std::size_t place, const std::string& text) {
        const fs::path file = path_ / (std::to_string(place) + ".eml");
        // Written over in place, then cut to length: a file emptied first is written out
        // to disk at once by some file systems (ext4), which costs more than the rest.
        std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
        if (!out.is_open()) out.open(file, std::ios::out | std::ios::binary);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        std::error_code error;
        if (out) fs::resize_file(file, text.size(), error);
        if (!out || error) throw std::runtime_error("cannot write " + platform::utf8FromPath(file));
        return platform::utf8FromPath(file);
    }

  private:
    fs::path path_;
};

// Two batches are taught at once: the library reads and splits the messages of one while
// the store applies the other.
constexpr std::size_t kBatchesAtOnce = 2;
// A batch goes early once its messages hold this much: it bounds the scratch folder and
// how long one batch holds a shared store (large messages have more distinct words).
constexpr std::size_t kBytesPerBatch = std::size_t(4) << 20;

class Teacher {
  public:
    Teacher(const Classifier& classifier, const TeachRequest& request)
        : classifier_(classifier),
          command_(std::string(request.learn ? "LEARN " : "FORGET ") +
                   (request.spam ? "SPAM" : "HAM")) {}

    void add(const FolderMessage& message) {
        if (!filling_) filling_ = std::make_unique<Batch>();
        Batch& batch = *filling_;
        batch.names.push_back(message.name);
        if (message.file.empty()) {
            // A batch's place is free again once the batch that used it before is taught.
            if (!scratch_) scratch_ = std::make_unique<Scratch>();
            const std::size_t slot = batches_ % (kBatchesAtOnce + 1);
            batch.files.push_back(
                scratch_->write(slot * kFilesPerRequest + batch.files.size(), message.text));
        } else {
            batch.files.push_back(message.file);
        }
        batch.bytes += message.text.size();
        if (batch.files.size() == kFilesPerRequest || batch.bytes >= kBytesPerBatch) send();
    }

    void finish() {
        send();
        while (!sent_.empty()) collect();
    }

    TeachSummary summary;

  private:
    struct Batch {
        std::vector<std::string> names, files;
        std::size_t bytes = 0;
        std::future<Taught> taught;
    };

    void send() {
        if (!filling_) return;
        while (sent_.size() >= kBatchesAtOnce) collect();
        Batch* batch = filling_.get();
        batch->taught = std::async(std::launch::async, [this, batch] {
            return AskForFiles(classifier_, command_, batch->files);
        });
        sent_.push_back(std::move(filling_));
        ++batches_;
    }

    // The oldest batch sent, once taught; what failed is named in the order read.
    void collect() {
        const std::unique_ptr<Batch> batch = std::move(sent_.front());
        sent_.pop_front();
        const Taught taught = batch->taught.get();
        summary.changed += taught.changed;
        summary.unchanged += taught.unchanged;
        for (const auto& [at, why] : taught.failed) {
            std::fprintf(stderr, "%s: %s\n", batch->names[at].c_str(), why.c_str());
            ++summary.unreadable;
        }
    }

    const Classifier& classifier_;
    const std::string command_;
    std::unique_ptr<Scratch> scratch_;
    std::unique_ptr<Batch> filling_;
    std::deque<std::unique_ptr<Batch>> sent_;
    std::size_t batches_ = 0;  // sent
};

}  // namespace

TeachSummary TeachFromFolders(const Classifier& classifier, const TeachRequest& request) {
    Teacher teacher(classifier, request);
    std::vector<std::string> found;
    for (const std::string& path : request.paths) {
        std::error_code error;
        if (fs::exists(platform::pathFromUtf8(path), error)) {
            found.push_back(path);
        } else {
            std::fprintf(stderr, "%s: cannot read: no such file or folder\n", path.c_str());
            ++teacher.summary.unreadable;
        }
    }
    FolderProgress progress(request.progress, request.progress ? FolderBytes(found) : 0);
    ReadMailFolders(
        found,
        [&](FolderMessage&& message) {
            progress.advance(message.text.size());
            if (request.maxSize > 0 && (message.cut || message.text.size() > request.maxSize))
                ++teacher.summary.skipped;
            else
                teacher.add(message);
        },
        [&](const std::string& problem) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            ++teacher.summary.unreadable;
        });
    teacher.finish();
    progress.done();
    return teacher.summary;
}

}  // namespace kz::tool
