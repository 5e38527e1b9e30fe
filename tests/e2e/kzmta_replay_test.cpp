// kzmta replay over a Maildir, an mbox file and a folder built here: its counts are the
// agent's over queued copies of the same messages, and a second table shows exactly the
// messages its change changes.

// std::regex under the sanitizers trips a false -Wmaybe-uninitialized in GCC 12.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "e2e/dispatch_server.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

std::string crlf(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

// An mbox file of the messages, their "From " lines quoted as mboxrd quotes them.
std::string mboxOf(const std::vector<std::string>& messages) {
    static const std::regex fromLine("^(>*From )", std::regex::multiline);
    std::string box;
    for (const std::string& m : messages)
        box += "From sender@example.net Mon Dec  7 10:00:00 2026\n" +
               std::regex_replace(m, fromLine, ">$1") + "\n";
    return box;
}

struct Corpus {
    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::map<std::string, std::string> pathOf;  // message file name -> name replay gives it

    Corpus() {
        copyFixture("tools/replay", dir.path());
        fs::create_directories(dir.file("logs"));
    }
    static std::string message(const std::string& name) {
        return readFile(fixture("tools/replay/messages/" + name));
    }

    std::vector<std::string> build() {
        auto place = [&](const std::string& name, const std::string& path) {
            writeFile(dir.file(path), message(name));
            pathOf[name] = dir.file(path);
        };
        place("promo.eml", "maildir/cur/1.host:2,S");
        place("minutes.eml", "maildir/cur/2.host:2,RS");
        place("invoice.eml", "maildir/new/3.host");
        writeFile(dir.file("maildir/tmp/4.host"), message("news.eml"));  // not delivered yet
        writeFile(dir.file("maildir/dovecot-uidlist"), "3 V1 N4\n");
        writeFile(dir.file("box.mbox"),
                  mboxOf({message("coupons.eml"), message("cheap.eml"), message("saleends.eml")}));
        pathOf["coupons.eml"] = dir.file("box.mbox#1");
        pathOf["cheap.eml"] = dir.file("box.mbox#2");
        pathOf["saleends.eml"] = dir.file("box.mbox#3");
        place("news.eml", "folder/news.eml");
        place("crlf.eml", "folder/sub/crlf.eml");
        return {dir.file("maildir"), dir.file("box.mbox"), dir.file("folder")};
    }

    RunOutput replay(std::vector<std::string> args) const {
        args.insert(args.begin(), {binPath("kzmta"), "replay", "--registry", registry});
        return run(args, {"KZ_RUNTIME_DIR=" + dir.path()});
    }

    // The agent over queued copies, each with the envelope its headers give.
    std::map<std::string, int> agentCounts() const {
        const std::string inbound = dir.file("queue/SMTP/Inbound");
        for (const CaseLine& c : ReadCaseFile("tools/replay/envelopes.txt")) {
            std::string recipients;
            for (std::size_t at = 0; at <= c.fields[2].size();) {
                std::size_t end = std::min(c.fields[2].find(';', at), c.fields[2].size());
                recipients += (recipients.empty() ? "" : ";") + std::string("[SMTP:") +
                              c.fields[2].substr(at, end - at) + "]";
                at = end + 1;
            }
            const std::string id = fs::path(c.fields[0]).stem().string() + ".MAI";
            writeFile(inbound + "/Messages/" + id, crlf(message(c.fields[0])));
            writeFile(inbound + "/" + id,
                      "Sender=" + (c.fields[1].empty() ? "" : "[SMTP:" + c.fields[1] + "]") +
                          "\r\nRecipients=" + recipients + "\r\nClientIP=" + c.fields[3] + "\r\n");
        }
        RunOutput out =
            run(kzmtaRun(registry, {"--threads", "1"}), {"KZ_RUNTIME_DIR=" + dir.path()});
        EXPECT_EQ(out.status, 0) << out.err;
        std::map<std::string, int> counts;
        for (const std::string& line : reportLines(dir.file("logs"))) {
            std::vector<std::string> fields = tabFields(line);
            if (fields.size() > 4 && fields[0] == "Executed") ++counts[fields[3]];
        }
        return counts;
    }
};

// "description": holds, from replay's JSON, for the array that follows `member`.
std::map<std::string, int> holdsIn(const std::string& json, const std::string& member) {
    std::map<std::string, int> holds;
    std::size_t start = json.find("\"" + member + "\":[");
    std::string part = json.substr(start, json.find(']', start) - start);
    static const std::regex entry("\\{\"description\":\"([^\"]*)\",\"holds\":([0-9]+)");
    for (std::sregex_iterator it(part.begin(), part.end(), entry), end; it != end; ++it)
        holds[(*it)[1]] = std::stoi((*it)[2]);
    return holds;
}

TEST(KzmtaReplay, CountsAreTheAgentsOnQueuedCopiesOnAnyNumberOfThreads) {
    Corpus corpus;
    const std::vector<std::string> paths = corpus.build();
    std::vector<std::string> args = paths;
    args.push_back("--json");
    RunOutput one = corpus.replay(args);
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out.find("{\"messages\":8,"), 0u) << one.out;
    std::map<std::string, int> replayed = holdsIn(one.out, "filters");
    ASSERT_EQ(replayed.size(), 6u) << one.out;
    std::erase_if(replayed, [](const auto& entry) { return entry.second == 0; });
    EXPECT_EQ(replayed, corpus.agentCounts());
    EXPECT_EQ(replayed["Every message"], 8);

    args.insert(args.end(), {"--threads", "3"});
    RunOutput three = corpus.replay(args);
    EXPECT_EQ(three.out, one.out);
}

TEST(KzmtaReplay, CompareListsExactlyTheMessagesAChangedWordListChanges) {
    Corpus corpus;
    std::vector<std::string> args = corpus.build();
    fs::copy(corpus.dir.file("config"), corpus.dir.file("tomorrow"), fs::copy_options::recursive);
    writeFile(corpus.dir.file("tomorrow/FILTERS/PATTERNS/offers.txt"), "sale\r\ndiscount\r\n");
    args.insert(args.end(), {"--compare", corpus.dir.file("tomorrow"), "--json"});
    RunOutput out = corpus.replay(args);
    ASSERT_EQ(out.status, 0) << out.err;
    static const std::regex changed(
        "\\{\"message\":\"([^\"]*)\",\"before\":\\[([^\\]]*)\\],\"after\":\\[([^\\]]*)\\]");
    std::map<std::string, std::pair<std::string, std::string>> found;
    for (std::sregex_iterator it(out.out.begin(), out.out.end(), changed), end; it != end; ++it)
        found[(*it)[1]] = {(*it)[2], (*it)[3]};
    const std::string offer = "\"Offer words in the subject\"";
    ASSERT_EQ(found.size(), 2u) << out.out;
    EXPECT_NE(found[corpus.pathOf["promo.eml"]].first.find(offer), std::string::npos);
    EXPECT_EQ(found[corpus.pathOf["promo.eml"]].second.find(offer), std::string::npos);
    EXPECT_EQ(found[corpus.pathOf["coupons.eml"]].first.find(offer), std::string::npos);
    EXPECT_NE(found[corpus.pathOf["coupons.eml"]].second.find(offer), std::string::npos);
    EXPECT_EQ(holdsIn(out.out, "compareFilters")["Offer words in the subject"],
              holdsIn(out.out, "filters")["Offer words in the subject"]);

    args.pop_back();  // the same as text
    RunOutput text = corpus.replay(args);
    EXPECT_NE(text.out.find("Messages whose outcome changes: 2\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("before: Offer words in the subject (ADD_HEADER); "), std::string::npos)
        << text.out;
}

TEST(KzmtaReplay, ClearErrors) {
    Corpus corpus;
    const std::tuple<std::vector<std::string>, int, std::string> errors[] = {
        {{}, 2, "PATH is required"},
        {{corpus.dir.file("absent")}, 1, "no such file or folder"},
        {{corpus.dir.file("config"), "--threads", "0"}, 2, "--threads"},
        {{corpus.dir.file("config"), "--bogus"}, 2, "--bogus"},
        {{corpus.dir.file("config"), "--rcpt", "a@b\r\nX: y"}, 1, "--rcpt takes an address"},
    };
    for (const auto& [args, status, message] : errors) {
        RunOutput out = corpus.replay(args);
        EXPECT_EQ(out.status, status) << message;
        EXPECT_NE(out.err.find(message), std::string::npos) << out.err;
    }
    RunOutput help = run({binPath("kzmta"), "replay", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--compare"), std::string::npos);
}

}  // namespace
}  // namespace kz::test
