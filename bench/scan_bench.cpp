// Cost of scanning one message, MIME-aware and plain, for messages of growing size.
// The scan should grow linearly with the message: compare the time per byte across
// the sizes. ScanWordFile scans one message against one or ten filters, each with its own
// word file of 1,000 or 10,000 entries on SUBJECT, BODY and HEADERS_CONTAIN, with and
// without pattern caching: its time should hardly grow with the lists. Trace lines go to /dev/null;
// results are reported on standard error.
//
//   build/bin/scan_bench [--benchmark_filter=Plain]

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "evaluate/scan.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "host/agent.h"

namespace {

namespace fs = std::filesystem;

struct Environment {
    fs::path root = fs::temp_directory_path() / ("kzbench-" + std::to_string(::getpid()));
    kz::filters::FilterTable table;
    kz::host::Agent agent{(root / "registry.reg").string()};

    Environment() {
        fs::create_directories(root / "connectors/SMTP/Inbound/Messages");
        fs::copy(fs::path(KZ_FIXTURES_DIR) / "scan/config", root / "config",
                 fs::copy_options::recursive);
        kz::config::machineRegistry().setString(kz::config::kConnectorsKey,
                                                kz::config::kConnectorRootDirectory,
                                                (root / "connectors").string());
        kz::config::ReadRunDirectories();
        kz::filters::LoadFilterTable(table,
                                     kz::filters::LoadOptions{(root / "config").string(), false});
    }
    ~Environment() { fs::remove_all(root); }

    // A multipart message of about `size` bytes: a text body, an HTML body and a base64
    // attachment, as a mail client writes them.
    std::string writeMessage(std::size_t size) {
        std::string name = "bench-" + std::to_string(size) + ".eml";
        std::string text =
            "From: Sender <sender@example.net>\r\nTo: someone@example.org\r\nSubject: Quarterly "
            "figures\r\n"
            "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
            "--b1\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
        std::string line =
            "The figures of the quarter are attached, see the table for details.\r\n";
        while (text.size() < size / 3) text += line;
        text += "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<html><body>\r\n";
        while (text.size() < 2 * size / 3) text += "<p>" + line + "</p>\r\n";
        text +=
            "</body></html>\r\n--b1\r\nContent-Type: application/pdf; name=\"figures.pdf\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n";
        while (text.size() < size)
            text += "JVBERi0xLjQKJcfsj6IKNSAwIG9iago8PC9MZW5ndGggNiAwIFIvRmlsdGVyIC9GbGF0ZURl\r\n";
        text += "--b1--\r\n";
        return store(name, text);
    }

    // Multiparts nested `depth` deep whose boundaries share a long prefix, the innermost
    // text part full of lines that begin like a delimiter but are none: every line start
    // looks like a delimiter of every open container.
    std::string writeNested(std::size_t size, int depth) {
        const std::string prefix = "----=_NextPart_000_0123_01DA2B3C.4D5E6F70----=_shared_";
        std::string name = "nested-" + std::to_string(size) + ".eml";
        std::string text = "From: Sender <sender@example.net>\r\nMIME-Version: 1.0\r\n";
        for (int level = 0; level < depth; ++level) {
            text += "Content-Type: multipart/mixed; boundary=\"" + prefix + std::to_string(level) +
                    "\"\r\n\r\n--" + prefix + std::to_string(level) + "\r\n";
        }
        text += "Content-Type: text/plain\r\n\r\n";
        const std::string line = "--" + prefix + "line that is no delimiter at all\r\n";
        while (text.size() < size) text += line;
        for (int level = depth - 1; level >= 0; --level) {
            text += "--" + prefix + std::to_string(level) + "--\r\n";
        }
        return store(name, text);
    }

    // A table of `files` filters, each matching SUBJECT, BODY and HEADERS_CONTAIN against
    // its own word file of `entries` made-up words, some with asterisks, and a few words
    // of the message.
    const kz::filters::FilterTable& wordFileTable(int entries, bool caching, int files) {
        std::unique_ptr<kz::filters::FilterTable>& table = wordTables[{entries, caching, files}];
        if (table) return *table;
        const fs::path config =
            root / ("words-" + std::to_string(entries) + "-" + std::to_string(files));
        if (!fs::exists(config)) {
            fs::create_directories(config / "FILTERS/CRITERIA");
            fs::create_directories(config / "FILTERS/PATTERNS");
            std::ofstream tab(config / "FILTERS/FILTER.TAB", std::ios::binary);
            for (int file = 0; file < files; ++file) {
                const std::string name = "WORDS" + std::to_string(file);
                tab << name << "\t1\t" << name << "\t\tWord file\t\t0\r\n";
                writeWordFilter(config, name, entries, 12345u + std::uint32_t(file));
            }
        }
        table = std::make_unique<kz::filters::FilterTable>();
        kz::filters::LoadFilterTable(*table, kz::filters::LoadOptions{config.string(), caching});
        return *table;
    }

  private:
    std::map<std::tuple<int, bool, int>, std::unique_ptr<kz::filters::FilterTable>> wordTables;

    static void writeWordFilter(const fs::path& config, const std::string& name, int entries,
                                std::uint32_t seed) {
        std::ofstream criteria(config / "FILTERS/CRITERIA" / (name + ".TAB"), std::ios::binary);
        for (int kind = 0; kind < kz::filters::kCriterionCount; ++kind) {
            const bool used = kind == kz::filters::SUBJECT || kind == kz::filters::BODY ||
                              kind == kz::filters::HEADERS_CONTAIN;
            criteria << (used ? "1" : "0") << "\tKIND\t"
                     << (used ? "<REFERENCE><FILE>" + name + ".TXT</FILE>" : "") << "\t\t\t1\r\n";
        }
        const fs::path wordFile = config / "FILTERS/PATTERNS" / (name + ".TXT");
        std::ofstream words(wordFile, std::ios::binary);
        for (int i = 0; i < entries; ++i) {
            std::string word;
            seed = seed * 1103515245u + 12345u;
            const int length = 4 + int(seed >> 16) % 7;
            for (int c = 0; c < length; ++c) {
                seed = seed * 1103515245u + 12345u;
                word += char('a' + (seed >> 16) % 26);
            }
            if (i % 50 == 1) word += "*";
            if (i % 50 == 2) word = "*" + word;
            if (i % 100 == 3) word = "**" + word + "**";
            words << word << "\n";
        }
        words << "figures\nquarter*\n*details\nQuarterly\n";
        words.close();
        // A file as old as a word file usually is, not one still being written.
        fs::last_write_time(wordFile, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }

    std::string store(const std::string& name, const std::string& text) {
        std::ofstream(root / "connectors/SMTP/Inbound/Messages" / name, std::ios::binary) << text;
        return name;
    }
};

Environment& env() {
    static Environment environment;
    return environment;
}

void ScanFile(benchmark::State& state, const std::string& name, bool mime,
              const kz::filters::FilterTable& table = env().table) {
    for (auto _ : state) {
        kz::MessageContext context;
        context.connectorName = "SMTP";
        context.messageId = name;
        kz::filters::CriteriaResults results;
        kz::filters::AllocateResults(table, results);
        kz::evaluate::Evaluation evaluation(table, results, &context);
        int scanned = mime ? kz::evaluate::ScanMessageMime(evaluation)
                           : kz::evaluate::ScanMessagePlain(evaluation);
        benchmark::DoNotOptimize(scanned);
        kz::filters::ReleaseResults(results);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void Scan(benchmark::State& state, bool mime) {
    ScanFile(state, env().writeMessage(std::size_t(state.range(0))), mime);
}

void ScanMime(benchmark::State& state) {
    Scan(state, true);
}
void ScanPlain(benchmark::State& state) {
    Scan(state, false);
}

// Nested 40 deep: the time per byte must not grow with the depth.
void ScanMimeNested(benchmark::State& state) {
    ScanFile(state, env().writeNested(std::size_t(state.range(0)), 40), true);
}

// A 100 KiB message against range(2) word files of range(0) entries, cached when range(1)
// is 1.
void ScanWordFile(benchmark::State& state) {
    const kz::filters::FilterTable& table =
        env().wordFileTable(int(state.range(0)), state.range(1) != 0, int(state.range(2)));
    ScanFile(state, env().writeMessage(100 << 10), true, table);
    state.SetBytesProcessed(int64_t(state.iterations()) * (100 << 10));
}

BENCHMARK(ScanMime)->Arg(100 << 10)->Arg(1 << 20)->Arg(20 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(ScanPlain)->Arg(100 << 10)->Arg(1 << 20)->Arg(20 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(ScanMimeNested)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(ScanWordFile)
    ->ArgsProduct({{1000, 10000}, {0, 1}, {1, 10}})
    ->ArgNames({"entries", "cached", "files"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The scanners write trace lines to standard output; keep them out of the results.
    int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, STDOUT_FILENO);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
