#include "bayes_library.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/utf8_path.h"

namespace kz::tool {

namespace {

constexpr std::size_t kReplySize = 1024;

// One request for the files: how many changed, or why none did.
Taught askOnce(const Classifier& classifier, const std::string& command,
               const std::vector<std::string>& files) {
    std::string request = command;
    for (const std::string& file : files)
        request +=
            "\n" + platform::utf8FromPath(std::filesystem::absolute(platform::pathFromUtf8(file)));
    const auto [result, reply] = classifier.ask(request);
    Taught taught;
    if (result == 0) {
        taught.failed.emplace_back(0, ReplyValue(reply, "ERROR"));
        return taught;
    }
    taught.changed = std::strtoull(ReplyValue(reply, "CHANGED").c_str(), nullptr, 10);
    taught.unchanged = std::strtoull(ReplyValue(reply, "UNCHANGED").c_str(), nullptr, 10);
    return taught;
}

}  // namespace

Classifier::Classifier(const std::string& path) {
    std::string why;
    auto library = platform::DynamicLibrary::load(path, &why);
    if (!library) throw std::runtime_error("cannot load " + path + ": " + why);
    // Never unloaded, as the MTA keeps its providers: the library's store pool lives in
    // its own storage and is never destroyed, so unloading it would strand the pool's
    // connections (and whether dlclose unloads at all depends on what else is linked).
    static auto* kept = new std::vector<std::unique_ptr<platform::DynamicLibrary>>();
    kept->push_back(std::move(library));
    library_ = kept->back().get();
    execute_ = library_->entry<ExecuteEntry>("KZ_Execute");
    if (!execute_) throw std::runtime_error(path + " has no KZ_Execute");
}

std::pair<int, std::string> Classifier::ask(const std::string& command) const {
    std::string reply(kReplySize, '\0');
    int32_t length = 0;
    const int result = execute_(command.c_str(), int32_t(command.size()), reply.data(), &length);
    reply.back() = '\0';
    return {result, reply.c_str()};
}

std::string ReplyValue(const std::string& reply, const std::string& tag) {
    const std::string open = "<" + tag + ">";
    const std::size_t start = reply.find(open);
    if (start == std::string::npos) return {};
    const std::size_t end = reply.find("</" + tag + ">", start);
    return reply.substr(start + open.size(), end - start - open.size());
}

Taught AskForFiles(const Classifier& classifier, const std::string& command,
                   const std::vector<std::string>& files) {
    Taught taught = askOnce(classifier, command, files);
    if (taught.failed.empty() || files.size() == 1) return taught;
    taught = {};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Taught one = askOnce(classifier, command, {files[i]});
        taught.changed += one.changed;
        taught.unchanged += one.unchanged;
        if (!one.failed.empty()) taught.failed.emplace_back(i, one.failed.front().second);
    }
    return taught;
}

}  // namespace kz::tool
