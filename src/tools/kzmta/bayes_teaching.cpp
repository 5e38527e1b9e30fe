#include "bayes_teaching.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "folder_progress.h"
#include "mail_folder.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

// A private folder for the messages of mbox files, which the library reads as files;
// removed with what it holds.
class Scratch {
  public:
    Scratch() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("kzmta-bayes-" + std::to_string(random()));
        fs::create_directory(path_);
        fs::permissions(path_, fs::perms::owner_all);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string write(const std::string& text) {
        const fs::path file = path_ / (std::to_string(next_++) + ".eml");
        std::ofstream out(file, std::ios::binary);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + file.string());
        return file.string();
    }
    void clear() {
        for (const auto& entry : fs::directory_iterator(path_)) fs::remove(entry.path());
    }

  private:
    fs::path path_;
    uint64_t next_ = 0;
};

class Teacher {
  public:
    Teacher(const Classifier& classifier, const TeachRequest& request)
        : classifier_(classifier),
          command_(std::string(request.learn ? "LEARN " : "FORGET ") +
                   (request.spam ? "SPAM" : "HAM")) {}

    void add(const FolderMessage& message) {
        names_.push_back(message.name);
        files_.push_back(message.file.empty() ? scratch_.write(message.text) : message.file);
        if (files_.size() == kFilesPerRequest) flush();
    }

    void flush() {
        if (files_.empty()) return;
        const std::vector<Outcome> outcomes = AskForFiles(classifier_, command_, files_);
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            if (!outcomes[i].ok) {
                std::fprintf(stderr, "%s: %s\n", names_[i].c_str(), outcomes[i].text.c_str());
                ++summary.unreadable;
            } else if (outcomes[i].text == "LEARNED" || outcomes[i].text == "FORGOTTEN") {
                ++summary.changed;
            } else {
                ++summary.unchanged;
            }
        }
        names_.clear();
        files_.clear();
        scratch_.clear();
    }

    TeachSummary summary;

  private:
    const Classifier& classifier_;
    const std::string command_;
    Scratch scratch_;
    std::vector<std::string> names_, files_;
};

}  // namespace

TeachSummary TeachFromFolders(const Classifier& classifier, const TeachRequest& request) {
    Teacher teacher(classifier, request);
    std::vector<std::string> found;
    for (const std::string& path : request.paths) {
        std::error_code error;
        if (fs::exists(path, error)) {
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
    teacher.flush();
    progress.done();
    return teacher.summary;
}

}  // namespace kz::tool
