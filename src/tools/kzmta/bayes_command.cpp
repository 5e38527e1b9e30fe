// kzmta bayes: teaches the Bayesian classifier through its own library, the one the agent
// loads from the Application Directory, so that both read the same settings and tokens.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "config/registry_keys.h"
#include "platform/dynlib.h"
#include "platform/environment.h"
#include "platform/exports.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace kz::tool {

namespace {

using ExecuteEntry = int(KZ_STDCALL*)(const char*, int32_t, char*, int32_t*);

constexpr std::size_t kReplySize = 1024;

class Classifier {
  public:
    explicit Classifier(const std::string& path) {
        std::string why;
        library_ = platform::DynamicLibrary::load(path, &why);
        if (!library_) throw std::runtime_error("cannot load " + path + ": " + why);
        execute_ = library_->entry<ExecuteEntry>("KZ_Execute");
        if (!execute_) throw std::runtime_error(path + " has no KZ_Execute");
    }
    // The entry's result and its reply.
    std::pair<int, std::string> ask(const std::string& command) const {
        std::string reply(kReplySize, '\0');
        int32_t length = 0;
        const int result =
            execute_(command.c_str(), int32_t(command.size()), reply.data(), &length);
        reply.back() = '\0';
        return {result, reply.c_str()};
    }

  private:
    std::unique_ptr<platform::DynamicLibrary> library_;
    ExecuteEntry execute_ = nullptr;
};

std::string value(const std::string& reply, const std::string& tag) {
    const std::string open = "<" + tag + ">";
    const std::size_t start = reply.find(open);
    if (start == std::string::npos) return {};
    const std::size_t end = reply.find("</" + tag + ">", start);
    return reply.substr(start + open.size(), end - start - open.size());
}

std::string libraryPath(const std::string& registryPath) {
    platform::Registry registry(registryPath);
    auto dir = registry.query(config::kProductKey, config::kApplicationDirectory);
    if (!dir || dir->asString().empty())
        throw std::runtime_error("no Application Directory in " + registryPath +
                                 "; name the library with --library");
    return platform::resolveLibraryPath(platform::joinPath(dir->asString(), "KZFLTMBF.DLL"));
}

// The library learns up to this many files in one transaction, much faster than one by
// one; its reply of 1024 bytes holds a result for each.
constexpr std::size_t kFilesPerRequest = 25;

struct Outcome {
    bool ok = false;
    std::string text;  // the result, or why it failed
};

// One request for the files: the <RESULT> of each in order, or the error of all.
std::vector<Outcome> ask(const Classifier& classifier, const std::string& command,
                         const std::vector<std::string>& files) {
    std::string request = command;
    for (const std::string& file : files)
        request += "\n" + std::filesystem::absolute(file).string();
    const auto [result, reply] = classifier.ask(request);
    std::vector<Outcome> outcomes(files.size(), Outcome{false, value(reply, "ERROR")});
    std::size_t at = 0;
    for (Outcome& outcome : outcomes) {
        if (result == 0 || (at = reply.find("<RESULT>", at)) == std::string::npos) break;
        outcome = {true, value(reply.substr(at), "RESULT")};
        ++at;
    }
    return outcomes;
}

// LEARN or FORGET the files; a line per file that changed nothing or failed. A batch
// that fails changes nothing and is asked again file by file, to tell which failed.
int teach(const Classifier& classifier, const std::string& verb, bool spam,
          const std::vector<std::string>& args) {
    const std::string command = verb + " " + (spam ? "SPAM" : "HAM");
    int changed = 0;
    int failed = 0;
    for (std::size_t first = 0; first < args.size(); first += kFilesPerRequest) {
        const std::vector<std::string> files(
            args.begin() + long(first),
            args.begin() + long(std::min(first + kFilesPerRequest, args.size())));
        std::vector<Outcome> outcomes = ask(classifier, command, files);
        if (files.size() > 1 && !outcomes.front().ok)
            for (std::size_t i = 0; i < files.size(); ++i)
                outcomes[i] = ask(classifier, command, {files[i]}).front();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!outcomes[i].ok) {
                std::fprintf(stderr, "%s: %s\n", files[i].c_str(), outcomes[i].text.c_str());
                ++failed;
            } else if (outcomes[i].text == "LEARNED" || outcomes[i].text == "FORGOTTEN") {
                ++changed;
            } else {
                std::printf("%s: %s\n", files[i].c_str(), outcomes[i].text.c_str());
            }
        }
    }
    std::printf("%s %d of %zu %s messages\n", verb == "LEARN" ? "Learned" : "Forgot", changed,
                args.size(), spam ? "spam" : "ham");
    return failed ? 1 : 0;
}

struct BayesOptions {
    std::string registry;
    std::string library;
    bool spam = false;
    bool ham = false;
    std::vector<std::string> files;
};

// The classifier the options name, reading its settings from the registry the agent
// would see.
Classifier open(const BayesOptions& o) {
    RequireRegistryFile(o.registry);
    const std::string library = o.library.empty() ? libraryPath(o.registry) : o.library;
    platform::setEnvironment("KZ_REGISTRY", o.registry);
    return Classifier(library);
}

int stats(const BayesOptions& o) {
    const Classifier classifier = open(o);
    const auto [result, reply] = classifier.ask("STATS");
    if (result == 0) throw std::runtime_error(value(reply, "ERROR"));
    std::printf("Spam messages: %s\nHam messages: %s\nTokens: %s\n", value(reply, "SPAM").c_str(),
                value(reply, "HAM").c_str(), value(reply, "TOKENS").c_str());
    return 0;
}

}  // namespace

void AddBayesCommand(CommandLine& cli) {
    auto o = std::make_shared<BayesOptions>();
    CLI::App& bayes = cli.addGroup(cli.root(), "bayes", "teach the Bayesian classifier");
    AddRegistryOption(bayes, o->registry);
    bayes
        .add_option("--library", o->library,
                    "the classifier (default: KZFLTMBF.DLL in the Application Directory)")
        ->type_name("PATH");
    for (const char* verb : {"learn", "forget"}) {
        const std::string command = verb == std::string("learn") ? "LEARN" : "FORGET";
        CLI::App& teaching =
            cli.add(bayes, verb, std::string(verb) + " messages as spam or as ham",
                    [o, command] { return teach(open(*o), command, o->spam, o->files); });
        CLI::Option_group* kind = teaching.add_option_group("kind", "one of --spam or --ham");
        kind->add_flag("--spam", o->spam, "the messages are spam");
        kind->add_flag("--ham", o->ham, "the messages are ham");
        kind->require_option(1);
        teaching.add_option("FILE", o->files, "message files")->required();
    }
    cli.add(bayes, "stats", "print how many messages and tokens it has learned",
            [o] { return stats(*o); });
}

}  // namespace kz::tool
