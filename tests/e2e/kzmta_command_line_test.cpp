// kzmta's command line as an administrator meets it: help for every command, usage errors
// with exit status 2, failures with 1, and the keyword tables the reference describes.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

RunOutput kzmta(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), binPath("kzmta"));
    return run(args, env);
}

// The subcommands a help text lists, one name at the start of each line of its
// Subcommands section.
std::vector<std::string> subcommands(const std::string& help) {
    std::vector<std::string> names;
    std::size_t at = help.find("Subcommands:\n");
    if (at == std::string::npos) return names;
    std::regex line(R"(^  ([a-z][a-z-]*)\s)");
    std::string rest = help.substr(at);
    for (std::size_t start = rest.find('\n') + 1; start < rest.size();) {
        std::size_t end = rest.find('\n', start);
        std::string text = rest.substr(start, end - start);
        std::smatch match;
        if (text.empty() || !std::regex_search(text, match, line)) break;
        names.push_back(match[1]);
        start = end == std::string::npos ? rest.size() : end + 1;
    }
    return names;
}

TEST(KzmtaCommandLine, EveryCommandExplainsItselfAndTheVersionIsBuiltIn) {
    RunOutput top = kzmta({"--help"});
    ASSERT_EQ(top.status, 0) << top.err;
    EXPECT_NE(top.out.find("Exit status: 0 success, 1 failure, 2 usage error"), std::string::npos);
    // Each command, and each subcommand of a command with subcommands.
    std::vector<std::vector<std::string>> pending;
    for (const std::string& name : subcommands(top.out)) pending.push_back({name});
    std::set<std::string> seen;
    while (!pending.empty()) {
        std::vector<std::string> command = pending.back();
        pending.pop_back();
        std::vector<std::string> args = command;
        args.push_back("--help");
        RunOutput help = kzmta(args);
        std::string path;
        for (const std::string& name : command) path += (path.empty() ? "" : " ") + name;
        EXPECT_EQ(help.status, 0) << path << ": " << help.err;
        EXPECT_NE(help.out.find("Usage: "), std::string::npos) << path << ": " << help.out;
        seen.insert(path);
        for (const std::string& name : subcommands(help.out)) {
            pending.push_back(command);
            pending.back().push_back(name);
        }
    }
    for (const char* command : {"reg get", "reg export", "run", "check-config", "bayes learn",
                                "keywords", "explain", "inspect", "reload", "demo"})
        EXPECT_EQ(seen.count(command), 1u) << command;

    RunOutput version = kzmta({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(kzmta \d+\.\d+\.\d+ \(.+\)\n)")))
        << version.out;
    RunOutput bare = kzmta({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("Subcommands:"), std::string::npos) << bare.err;
}

TEST(KzmtaCommandLine, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
    TempDir dir;
    const std::vector<std::string> env = {"KZ_REGISTRY=" + dir.file("registry.reg")};
    const auto cases = ReadCaseFile("tools/usage_errors.txt");
    EXPECT_EQ(cases.size(), 26u);
    for (const CaseLine& c : cases) {
        RunOutput out = kzmta({c.fields.begin() + 1, c.fields.end()}, env);
        EXPECT_EQ(out.status, 2) << "usage_errors.txt:" << c.number << ": " << out.err;
        EXPECT_NE(out.err.find(c.fields[0]), std::string::npos)
            << "usage_errors.txt:" << c.number << ": " << out.err;
        EXPECT_NE(out.err.find("--help"), std::string::npos) << out.err;
    }
    // After "--" an argument is a file name even when it looks like an option.
    RunOutput dashed = kzmta({"inspect", "--", "--json"});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_NE(dashed.err.find("no such file: --json"), std::string::npos) << dashed.err;
    EXPECT_FALSE(exists(dir.file("registry.reg")));
}

TEST(KzmtaCommandLine, AMissingRegistryFileIsNamedAndNothingIsCreated) {
    TempDir dir;
    const std::string missing = dir.file("missing.reg");
    const std::vector<std::vector<std::string>> commands = {
        {"run", "--registry", missing},
        {"check-config", "--registry=" + missing},
        {"explain", "--registry", missing, "--connector", "SMTP", "--message", "A.MAI"},
        {"reload", "--registry", missing},
        {"reg", "--registry", missing, "list", "SOFTWARE"},
        {"reg", "get", "--registry", missing, "SOFTWARE", "X"},
        {"reg", "--registry", missing, "delete", "SOFTWARE", "X"},
        {"bayes", "--registry", missing, "stats"},
    };
    for (const auto& command : commands) {
        RunOutput out = kzmta(command);
        EXPECT_EQ(out.status, 1) << command[0];
        EXPECT_NE(out.err.find("no such file: " + missing), std::string::npos)
            << command[0] << ": " << out.err;
    }
    EXPECT_FALSE(exists(missing));
}

// The reference cannot go stale: it names every keyword this build knows and every
// registry value the agent reads.
TEST(KzmtaKeywords, TheConfigurationReferenceNamesEveryKeywordAndRegistryValue) {
    const fs::path source = fs::path(fixture("x")).parent_path().parent_path().parent_path();
    const std::string reference = readFile((source / "docs/configuration.md").string());
    ASSERT_FALSE(reference.empty());

    RunOutput json = kzmta({"keywords", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    RunOutput text = kzmta({"keywords"});
    ASSERT_EQ(text.status, 0) << text.err;
    std::regex keyword(R"re("keyword":"([A-Za-z_]+)")re");
    int count = 0;
    for (std::sregex_iterator it(json.out.begin(), json.out.end(), keyword), end; it != end;
         ++it, ++count) {
        const std::string name = (*it)[1];
        EXPECT_NE(reference.find("`" + name + "`"), std::string::npos) << name;
        EXPECT_NE(text.out.find("  " + name + " "), std::string::npos) << name;
    }
    EXPECT_EQ(count, 27 + 15);

    const std::string keys = readFile((source / "src/agent/config/registry_keys.h").string());
    std::regex value(R"re(constexpr std::string_view k\w+ =\s*"([^"\\]+)";)re");
    int values = 0;
    for (std::sregex_iterator it(keys.begin(), keys.end(), value), end; it != end; ++it) {
        const std::string name = (*it)[1];
        if (name == "MTAFILTER") continue;  // the agent's name, not a value
        ++values;
        EXPECT_NE(reference.find("\"" + name + "\""), std::string::npos) << name;
    }
    EXPECT_GT(values, 50);
}

}  // namespace
}  // namespace kz::test
