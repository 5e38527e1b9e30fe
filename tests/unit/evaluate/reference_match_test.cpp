// The compiled word matching against the reference matcher over whole messages: every
// message of the fixtures (and, when KZ_CORPUS_DIR names a folder of messages, every
// KZ_CORPUS_EVERY-th of them) is evaluated by a table of list criteria built from the
// messages' own words and addresses, once compiled and once entry by entry; every
// criterion's hit count, match text and instance values must be the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "actions/notification_lines.h"
#include "evaluate/message_evaluation.h"
#include "evaluate/scan.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using filters::KindShape;

struct Corpus {
    std::vector<std::pair<std::string, std::string>> messages;  // name, CR LF text
};

std::string WithCrLf(std::string text) {
    if (text.starts_with("From ")) text.erase(0, text.find('\n') + 1);  // an mbox separator
    return actions::WithCrLfLineEnds(text);
}

Corpus ReadCorpus() {
    Corpus corpus;
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(fixture(""))) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".eml" || ext == ".MAI")) paths.push_back(entry);
    }
    std::sort(paths.begin(), paths.end());
    if (const char* dir = std::getenv("KZ_CORPUS_DIR")) {
        const char* every = std::getenv("KZ_CORPUS_EVERY");
        const std::size_t step = every ? std::max(1, std::atoi(every)) : 15;
        std::vector<fs::path> outside;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            if (entry.is_regular_file() && !entry.path().extension().string().starts_with(".js"))
                outside.push_back(entry);
        std::sort(outside.begin(), outside.end());
        for (std::size_t i = 0; i < outside.size(); i += step) paths.push_back(outside[i]);
    }
    for (const fs::path& path : paths)
        corpus.messages.emplace_back(path.string(), WithCrLf(readFile(path.string())));
    return corpus;
}

// Word and address lists drawn from the messages: frequent and rare words, some as
// patterns ("*w", "w*", "*w*", "**w"), word pairs, and addresses with "*@domain" ones.
struct Lists {
    std::vector<std::string> frequent, rare, addresses;
};

Lists MakeLists(const Corpus& corpus) {
    std::map<std::string, int> counts;
    std::set<std::string> addresses;
    const std::regex word("[A-Za-z]{4,14}");
    const std::regex address("[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}");
    for (const auto& [name, text] : corpus.messages) {
        for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) {
            std::string w = it->str();
            std::transform(w.begin(), w.end(), w.begin(), ::tolower);
            ++counts[w];
        }
        const std::string head = text.substr(0, text.find("\r\n\r\n"));
        for (std::sregex_iterator it(head.begin(), head.end(), address), end; it != end; ++it)
            addresses.insert(it->str());
    }
    std::vector<std::pair<int, std::string>> ranked;
    for (const auto& [w, n] : counts) ranked.emplace_back(-n, w);
    std::sort(ranked.begin(), ranked.end());
    Lists lists;
    const char* forms[] = {"*%", "%*", "*%*", "**%", "%", "%", "%", "%", "%", "%"};
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        std::string entry = forms[i % 10];
        entry.replace(entry.find('%'), 1, ranked[i].second);
        if (i >= 10 && i % 2 == 0 && lists.frequent.size() < 1500) lists.frequent.push_back(entry);
        if (i > ranked.size() / 2 && i % 3 == 0 && lists.rare.size() < 1500)
            lists.rare.push_back(entry);
        if (i % 97 == 1 && i + 1 < ranked.size())
            lists.frequent.push_back(ranked[i].second + " " + ranked[i + 1].second);
    }
    std::size_t n = 0;
    for (const std::string& a : addresses) {
        if (n++ % 2) continue;
        lists.addresses.push_back(n % 10 == 1 ? "*" + a.substr(a.find('@')) : a);
    }
    return lists;
}

std::string Joined(const std::vector<std::string>& entries, std::size_t from, std::size_t count,
                   char separator) {
    std::string text;
    for (std::size_t i = from; i < entries.size() && i - from < count; ++i)
        text += (text.empty() ? "" : std::string(1, separator)) + entries[i];
    return text;
}

class ReferenceMatchTest : public QueueTest {
  protected:
    // Filters over every list kind: word files (frequent, rare, addresses) and inline
    // lists long enough for the automaton and short enough for the direct search.
    void configure(const Lists& lists) {
        const std::string config = dir_.file("config");
        writeFile(config + "/FILTERS/PATTERNS/frequent.txt",
                  Joined(lists.frequent, 0, lists.frequent.size(), '\n'));
        writeFile(config + "/FILTERS/PATTERNS/rare.txt",
                  Joined(lists.rare, 0, lists.rare.size(), '\n'));
        writeFile(config + "/FILTERS/PATTERNS/addresses.txt",
                  Joined(lists.addresses, 0, lists.addresses.size(), '\n'));
        std::string table;
        int number = 0;
        for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
            const KindShape shape = filters::KindOf(kind).shape;
            std::vector<std::string> data;
            if (shape == KindShape::Words) {
                data = {"<REFERENCE><FILE>frequent.txt</FILE></REFERENCE>",
                        "<REFERENCE><FILE>rare.txt</FILE></REFERENCE>",
                        Joined(lists.frequent, 7, 12, ','), Joined(lists.frequent, 40, 3, ',')};
            } else if (shape == KindShape::Addresses || shape == KindShape::Envelope) {
                data = {"<REFERENCE><FILE>addresses.txt</FILE></REFERENCE>",
                        Joined(lists.addresses, 0, 12, ','), Joined(lists.addresses, 5, 2, ',')};
            } else if (shape == KindShape::Names) {
                data = {"*.exe,*.pdf,*.txt,*.jpg,*.gif,*.zip,*.doc,*.htm*,*.*,invoice*"};
            }
            for (const std::string& d : data) {
                const std::string name = "F" + std::to_string(++number);
                table += name + "\t1\t" + name + "\t\t" + name + "\t\r\n";
                std::string rows;
                for (int k = 0; k <= kind; ++k)
                    rows += std::string(k == kind ? "1" : "0") + "\tX\t" + (k == kind ? d : "") +
                            "\t\t\t1\r\n";
                writeFile(config + "/FILTERS/CRITERIA/" + name + ".TAB", rows);
            }
        }
        writeFile(config + "/FILTERS/FILTER.TAB", table);
    }

    void load(bool caching) {
        testing::internal::CaptureStdout();
        filters::ReleaseFilterTable(table);
        filters::LoadFilterTable(table, {dir_.file("config"), caching});
        testing::internal::GetCapturedStdout();
    }

    // Every criterion's results of one evaluation, as text.
    std::string evaluate(bool mime, bool reference) {
        table.referenceMatching = reference;
        MessageContext ctx;
        testing::internal::CaptureStdout();
        std::string out;
        if (evaluate::PrepareMessage(ctx, kConnector, kMessageId)) {
            filters::CriteriaResults results;
            filters::AllocateResults(table, results);
            evaluate::Evaluation evaluation(table, results, &ctx);
            evaluate::EvaluateEnvelopeCriteria(evaluation);
            mime ? evaluate::ScanMessageMime(evaluation) : evaluate::ScanMessagePlain(evaluation);
            std::ostringstream text;
            for (int p = 1; p <= results.filterCount(); ++p) {
                const filters::MatchResultBlock& block = results.block(p);
                for (int k = 0; k < filters::kCriterionCount; ++k) {
                    if (block.hitCount[k] == 0 && block.matchText[k].empty()) continue;
                    text << "filter " << p << " kind " << k << ": " << block.hitCount[k] << " "
                         << block.matchText[k];
                    for (const std::string& value : block.instanceValue[k]) text << "|" << value;
                    text << "\n";
                }
            }
            out = text.str();
        }
        testing::internal::GetCapturedStdout();
        return out;
    }

    // A command file from the message's own From, To and Cc.
    void queue(const std::string& text) {
        const std::regex address("[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}");
        const std::string head = text.substr(0, text.find("\r\n\r\n"));
        std::string recipients, sender;
        for (std::sregex_iterator it(head.begin(), head.end(), address), end; it != end; ++it) {
            if (sender.empty()) sender = "[SMTP:" + it->str() + "]";
            recipients += (recipients.empty() ? "" : ";") + std::string("[SMTP:") + it->str() + "]";
        }
        writeFile(commandFile(), "Recipients=" + recipients + "\r\nSender=" + sender +
                                     "\r\nClientIP=192.0.2.17\r\nAccount=example.com\r\n"
                                     "User=anna\r\nStatus=Pending\r\nCommandType=SMTP\r\n");
        writeFile(messageFile(), text);
    }

    ~ReferenceMatchTest() override {
        testing::internal::CaptureStdout();
        filters::ReleaseFilterTable(table);
        testing::internal::GetCapturedStdout();
    }

    filters::FilterTable table;
};

TEST_F(ReferenceMatchTest, CompiledListsDecideAsTheReferenceOverWholeMessages) {
    const Corpus corpus = ReadCorpus();
    ASSERT_GE(corpus.messages.size(), 100u);
    const Lists lists = MakeLists(corpus);
    ASSERT_GE(lists.frequent.size(), 200u);
    configure(lists);
    std::size_t hits = 0;
    // Uncached first: its word files, just written, are matched on their own at first.
    for (bool caching : {false, true}) {
        load(caching);
        ASSERT_GT(table.filterCount(), 20);
        for (const auto& [name, text] : corpus.messages) {
            queue(text);
            for (bool mime : {true, false}) {
                SCOPED_TRACE(name + (mime ? " (MIME" : " (plain") +
                             (caching ? ", cached)" : ", uncached)"));
                const std::string compiled = evaluate(mime, false);
                EXPECT_EQ(compiled, evaluate(mime, true));
                hits += std::count(compiled.begin(), compiled.end(), '\n');
            }
        }
    }
    EXPECT_GT(hits, corpus.messages.size());  // the lists do match
    std::cout << corpus.messages.size() << " messages, " << lists.frequent.size() << "/"
              << lists.rare.size() << "/" << lists.addresses.size() << " entries, " << hits
              << " results\n";
}

}  // namespace
}  // namespace kz::test
