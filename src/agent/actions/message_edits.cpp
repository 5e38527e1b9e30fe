#include "actions/message_edits.h"

#include <optional>
#include <utility>

#include "platform/files.h"

namespace kz::actions {

MessageEdits::MessageEdits(QueueStepHook hook) : hook_(std::move(hook)) {}

MessageEdits::~MessageEdits() {
    try {
        flush();
    } catch (...) {
        // Unwinding already; the files stay as the last flush left them.
    }
}

MessageEdits::File* MessageEdits::find(const std::string& path) {
    for (File& file : files_) {
        if (file.path == path) return &file;
    }
    return nullptr;
}

const std::string* MessageEdits::text(const std::string& path) {
    if (File* file = find(path)) return &file->text;
    std::optional<std::string> read = platform::readFile(path);
    if (!read) return nullptr;
    files_.push_back({path, std::move(*read), {}});
    return &files_.back().text;
}

std::string& MessageEdits::change(const std::string& path, std::string_view temporary) {
    File* file = find(path);
    if (!file) file = &files_.emplace_back(File{path, {}, {}});
    if (file->temporary.empty()) file->temporary = temporary;
    return file->text;
}

bool MessageEdits::flush() {
    bool written = true;
    for (const File& file : files_) {
        if (!file.temporary.empty())
            written = PublishFile(file.path, file.temporary, file.text, hook_) && written;
    }
    files_.clear();
    return written;
}

}  // namespace kz::actions
