// The Bayesian classifier library on a split corpus: learns the messages of
// <split>/train/{spam,ham}, scores those of <split>/test/{spam,ham} through the same
// execute entry the agent calls, and prints the spam caught and the ham taken for spam at
// the thresholds 90, 95 and 99 (a score above the threshold holds, as in a filter), with
// the messages per second of learning (500 files a request, one request at a time) and of
// scoring (the best of three passes). With --scores FILE the score of each test message
// is written there ("path score"). With --database the tokens go there (an SQLite file or
// a Redis address, which must hold nothing yet) instead of a fresh file; with
// --skip learning they are already there (bench/bayes_corpus.sh teaches them with kzmta
// bayes learn, timed as bogofilter is), with --skip scoring only learning is timed.
//
// usage: bayes_bench SPLIT_DIR [--library PATH] [--scores FILE] [--database DATABASE]
//                              [--skip learning|scoring]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "platform/exports.h"

namespace fs = std::filesystem;

namespace {

using ExecuteEntry = int(KZ_STDCALL*)(const char*, int32_t, char*, int32_t*);

// Files a LEARN names, as kzmta bayes learn asks.
constexpr std::size_t kBatch = 500;

struct Entry {
    ExecuteEntry execute;
    // The result, the reply.
    std::pair<int, std::string> ask(const std::string& request) const {
        std::string reply(1024, '\0');
        int32_t length = 0;
        const int result = execute(request.c_str(), int32_t(request.size()), reply.data(), &length);
        return {result, reply.c_str()};
    }
};

std::vector<std::string> files(const fs::path& dir) {
    std::vector<std::string> list;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) list.push_back(entry.path().string());
    std::sort(list.begin(), list.end());
    return list;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: bayes_bench SPLIT_DIR [--library PATH] [--scores FILE] "
                     "[--database DATABASE] [--skip learning|scoring]\n");
        return 2;
    }
    const fs::path split = argv[1];
    std::string library = std::string(KZ_LIB_DIR) + "/KZFLTMBF.so";
    std::string scoresPath;
    std::string database;
    std::string skip;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--library") library = argv[i + 1];
        if (std::string(argv[i]) == "--scores") scoresPath = argv[i + 1];
        if (std::string(argv[i]) == "--database") database = argv[i + 1];
        if (std::string(argv[i]) == "--skip") skip = argv[i + 1];
    }

    // A registry of its own that names a fresh token file.
    const fs::path work = fs::temp_directory_path() / ("bayes_bench." + std::to_string(getpid()));
    fs::create_directories(work);
    if (database.empty()) database = (work / "bayes.sqlite").string();
    std::ofstream(work / "registry.reg")
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters"
           "\\MTAFILTER\\Bayesian]\r\n\"Database\"=\""
        << database << "\"\r\n";
    setenv("KZ_REGISTRY", (work / "registry.reg").c_str(), 1);

    std::string why;
    auto module = kz::platform::DynamicLibrary::load(library, &why);
    if (!module) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), why.c_str());
        return 1;
    }
    const Entry entry{module->entry<ExecuteEntry>("KZ_Execute")};

    const auto trainSpam = files(split / "train/spam");
    const auto trainHam = files(split / "train/ham");
    auto start = std::chrono::steady_clock::now();
    for (const auto& [list, category] : {std::pair{&trainSpam, "SPAM"}, {&trainHam, "HAM"}}) {
        if (skip == "learning") break;
        for (std::size_t first = 0; first < list->size(); first += kBatch) {
            std::string request = std::string("LEARN ") + category;
            for (std::size_t i = first; i < std::min(first + kBatch, list->size()); ++i)
                request += "\n" + (*list)[i];
            const auto [result, reply] = entry.ask(request);
            if (result == 0)
                std::fprintf(stderr, "cannot learn %s...: %s\n", (*list)[first].c_str(),
                             reply.c_str());
        }
    }
    const double learnSeconds = seconds(start);
    const std::size_t learned = trainSpam.size() + trainHam.size();

    const auto testSpam = files(split / "test/spam");
    const auto testHam = files(split / "test/ham");
    std::ofstream scores;
    if (!scoresPath.empty()) scores.open(scoresPath);
    const double thresholds[] = {90, 95, 99};
    std::size_t above[2][3] = {};
    std::size_t unscored = 0;
    // The test half is scored three times (the verdicts counted once); the fastest pass
    // counts, which keeps other work on the machine out of the figure.
    double scoreSeconds = 0;
    for (int pass = 0; pass < (skip == "scoring" ? 0 : 3); ++pass) {
        start = std::chrono::steady_clock::now();
        for (int spam = 0; spam < 2; ++spam) {
            for (const std::string& file : spam ? testSpam : testHam) {
                const auto [result, reply] =
                    entry.ask("<FILENAME>" + file + "</FILENAME><CMDFILE></CMDFILE>");
                if (pass > 0) continue;
                if (result == 0) {
                    ++unscored;
                    continue;
                }
                const double score = std::atof(reply.c_str() + reply.find("<SP>") + 4);
                for (int t = 0; t < 3; ++t) above[spam][t] += score > thresholds[t];
                if (scores.is_open()) scores << file << ' ' << score << '\n';
            }
        }
        const double passSeconds = seconds(start);
        if (pass == 0 || passSeconds < scoreSeconds) scoreSeconds = passSeconds;
    }
    const std::size_t scored = testSpam.size() + testHam.size();

    std::printf("KZFLTMBF on %s\n", database.find("://") != std::string::npos ? "Redis" : "SQLite");
    if (skip != "learning")
        std::printf("KZFLTMBF: learned %zu (%zu spam, %zu ham) at %.0f messages/s\n", learned,
                    trainSpam.size(), trainHam.size(), learned / learnSeconds);
    if (skip == "scoring") {
        module.reset();
        fs::remove_all(work);
        return 0;
    }
    std::printf("KZFLTMBF: scored %zu (%zu spam, %zu ham) at %.0f messages/s, %zu unscored\n",
                scored, testSpam.size(), testHam.size(), scored / scoreSeconds, unscored);
    for (int t = 0; t < 3; ++t)
        std::printf(
            "KZFLTMBF threshold %2.0f: spam caught %5.1f%% (%zu), ham as spam %5.2f%% (%zu)\n",
            thresholds[t], 100.0 * above[1][t] / testSpam.size(), above[1][t],
            100.0 * above[0][t] / testHam.size(), above[0][t]);
    module.reset();
    fs::remove_all(work);
    return 0;
}
