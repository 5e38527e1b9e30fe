// kzmta bayes: teaches the Bayesian classifier through its own library, the one the agent
// loads from the Application Directory, so that both read the same settings and tokens;
// copies, backs up, restores and clears the store the registry names.

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bayes_library.h"
#include "bayes_teaching.h"
#include "bayes_upkeep.h"
#include "command_line.h"
#include "commands.h"
#include "config/registry_keys.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace kz::tool {

namespace {

std::string libraryPath(const std::string& registryPath) {
    platform::Registry registry(registryPath);
    auto dir = registry.query(config::kProductKey, config::kApplicationDirectory);
    if (!dir || dir->asString().empty())
        throw std::runtime_error("no Application Directory in " + registryPath +
                                 "; name the library with --library");
    return platform::resolveLibraryPath(platform::joinPath(dir->asString(), "KZFLTMBF.DLL"));
}

struct BayesOptions {
    std::string registry;
    std::string library;
    bool spam = false;
    bool ham = false;
    std::vector<std::string> paths;
    uint64_t maxSize = 0;
    bool progress = false;
    std::string from, to, file;
    bool yes = false;
};

// The settings the agent would see: the registry file named, through the environment
// the library reads.
void useRegistry(const BayesOptions& o) {
    RequireRegistryFile(o.registry);
    platform::setEnvironment("KZ_REGISTRY", o.registry);
}

// The classifier the options name.
Classifier open(const BayesOptions& o) {
    useRegistry(o);
    return Classifier(o.library.empty() ? libraryPath(o.registry) : o.library);
}

int teach(const BayesOptions& o, bool learn) {
    const Classifier classifier = open(o);
    const TeachSummary s =
        TeachFromFolders(classifier, {learn, o.spam, o.paths, o.maxSize, o.progress});
    std::printf("%s %llu of %llu %s messages: %llu %s, %llu skipped, %llu unreadable\n",
                learn ? "Learned" : "Forgot", static_cast<unsigned long long>(s.changed),
                static_cast<unsigned long long>(s.total()), o.spam ? "spam" : "ham",
                static_cast<unsigned long long>(s.unchanged),
                learn ? "already known" : "not learned", static_cast<unsigned long long>(s.skipped),
                static_cast<unsigned long long>(s.unreadable));
    return s.unreadable ? 1 : 0;
}

int stats(const BayesOptions& o) {
    const Classifier classifier = open(o);
    const auto [result, reply] = classifier.ask("STATS");
    if (result == 0) throw std::runtime_error(ReplyValue(reply, "ERROR"));
    std::printf("Spam messages: %s\nHam messages: %s\nTokens: %s\n",
                ReplyValue(reply, "SPAM").c_str(), ReplyValue(reply, "HAM").c_str(),
                ReplyValue(reply, "TOKENS").c_str());
    return 0;
}

}  // namespace

void AddBayesCommand(CommandLine& cli) {
    auto o = std::make_shared<BayesOptions>();
    CLI::App& bayes =
        cli.addGroup(cli.root(), "bayes", "teach the Bayesian classifier and look after its store");
    AddRegistryOption(bayes, o->registry);
    bayes
        .add_option("--library", o->library,
                    "the classifier (default: KZFLTMBF.DLL in the Application Directory)")
        ->type_name("PATH");
    for (const bool learn : {true, false}) {
        CLI::App& teaching =
            cli.add(bayes, learn ? "learn" : "forget",
                    std::string(learn ? "learn" : "forget") +
                        " messages as spam or as ham: message files, folders (searched through), "
                        "Maildir folders and mbox files",
                    [o, learn] { return teach(*o, learn); });
        CLI::Option_group* kind = teaching.add_option_group("kind", "one of --spam or --ham");
        kind->add_flag("--spam", o->spam, "the messages are spam");
        kind->add_flag("--ham", o->ham, "the messages are ham");
        kind->require_option(1);
        teaching
            .add_option("PATH", o->paths, "message files, folders, Maildir folders, mbox files")
            ->required();
        AddNumberOption(teaching, "--max-size", o->maxSize, "skip messages of more than N bytes",
                        1);
        teaching.add_flag("--progress", o->progress,
                          "show messages done, their rate and the time left on a terminal");
    }
    cli.add(bayes, "stats", "print how many messages and tokens it has learned",
            [o] { return stats(*o); });
    CLI::App& migrate = cli.add(
        bayes, "migrate", "copy a token store into another, empty one (SQLite file or Redis)", [o] {
            useRegistry(*o);
            return MigrateStore(o->from, o->to);
        });
    migrate.add_option("--from", o->from, "the store to copy: an SQLite file or redis://...")
        ->required()
        ->type_name("DATABASE");
    migrate.add_option("--to", o->to, "the empty store to fill: an SQLite file or redis://...")
        ->required()
        ->type_name("DATABASE");
    CLI::App& backup =
        cli.add(bayes, "backup", "write the registry's token store to an SQLite file", [o] {
            useRegistry(*o);
            return BackUpStore(o->file);
        });
    backup.add_option("FILE", o->file, "the backup file, replaced when complete")->required();
    CLI::App& restore = cli.add(
        bayes, "restore", "replace everything the registry's token store holds by a backup", [o] {
            useRegistry(*o);
            return RestoreStore(o->file);
        });
    restore.add_option("FILE", o->file, "a file kzmta bayes backup wrote")->required();
    CLI::App& clear = cli.add(bayes, "clear",
                              "forget every message and token of the registry's token store", [o] {
                                  useRegistry(*o);
                                  return ClearStore(o->yes);
                              });
    clear.add_flag("--yes", o->yes,
                   "clear without asking (needed when standard input is not a terminal)");
}

}  // namespace kz::tool
