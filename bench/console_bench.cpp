// The console's two queries at a busy installation's size: kzmta quarantine list over
// 100,000 held messages, and kzmta stats over 365 daily report logs, with a cold index
// (none yet: every log is read) and a warm one (only what was appended is read).
//
// KZ_BENCH_LINES_PER_DAY sets the report lines of each day (default 20,000, about 5 MB a
// day); the figures scale with the bytes, which the benchmark reports.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "quarantine.h"
#include "report_index.h"
#include "stats.h"

namespace {

namespace fs = std::filesystem;
using namespace kz::console;

std::string scratch(const char* name) {
    fs::path dir = fs::temp_directory_path() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string registryFor(const std::string& root) {
    std::string path = root + "/registry.reg";
    writeText(
        path,
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\n"
        "\"Quarantine Directory\"=\"" +
            root +
            "/quarantine\"\n"
            "\"Configuration Directory\"=\"" +
            root +
            "/config\"\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER]\n"
            "\"Activity Log Directory\"=\"" +
            root + "/logs\"\n");
    return path;
}

const Installation& quarantineOf100k() {
    static Installation installation = [] {
        std::string root = scratch("kz-console-bench-quarantine");
        fs::create_directories(root + "/quarantine/Messages");
        fs::create_directories(root + "/logs");
        for (int i = 0; i < 100000; ++i) {
            char id[48];
            std::snprintf(id, sizeof id, "%032X.MAI", i);
            writeText(root + "/quarantine/" + id,
                      "Recipients=[SMTP:alice@example.com]\r\nSender=[SMTP:s" + std::to_string(i) +
                          "@example.org]\r\nClientIP=192.0.2.1\r\nSubject=Offer\r\n");
            writeText(root + "/quarantine/Messages/" + id,
                      "From: s@example.org\r\nTo: alice@example.com\r\nSubject: =?UTF-8?Q?Offre_"
                      "sp=C3=A9ciale?=\r\n\r\n" +
                          std::string(1500, 'x') + "\r\n");
        }
        return ReadInstallation(registryFor(root));
    }();
    return installation;
}

void QuarantineList100k(benchmark::State& state) {
    const Installation& installation = quarantineOf100k();
    for (auto _ : state) {
        auto list = ListHeld(installation, {});
        benchmark::DoNotOptimize(ToJson(list));
        state.counters["messages"] = double(list.size());
    }
}
BENCHMARK(QuarantineList100k)->Unit(benchmark::kMillisecond)->Iterations(3);

struct YearOfLogs {
    Installation installation;
    uint64_t bytes = 0;
};

const YearOfLogs& yearOfLogs() {
    static YearOfLogs year = [] {
        const char* setting = std::getenv("KZ_BENCH_LINES_PER_DAY");
        const long perDay = setting ? std::atol(setting) : 20000;
        std::string root = scratch("kz-console-bench-stats");
        fs::create_directories(root + "/logs");
        YearOfLogs made;
        std::time_t start = 1767225600;  // 2026-01-01
        for (int day = 0; day < 365; ++day) {
            std::time_t when = start + std::time_t(day) * 86400;
            std::tm date = *std::gmtime(&when);
            char name[64], stamp[32];
            std::strftime(name, sizeof name, "MTAFILTER-Report-%y%m%d.log", &date);
            std::string text =
                "Time\tAction\tMessageID\tConnector\tFilter\tResult\tAccount\t"
                "Sender\tIPAddress\tData\tSubject\n";
            for (long line = 0; line < perDay; ++line) {
                std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02ld:%02ld:00", date.tm_mon + 1,
                              date.tm_mday, date.tm_year % 100, line * 24 / perDay, line % 60);
                text += std::string(stamp) + "\tExecuted\t" + std::to_string(day * perDay + line) +
                        ".MAI\tSMTP\tFilter " + std::to_string(line % 40) +
                        "\tADD_HEADER,COPY_TO_QUARANTINE,DELETE\t\t[SMTP:s@example.org]\t"
                        "192.0.2.1\tCRITERIA=SUBJECT, DATA=<MF-W>offer</MF-W>\tA special offer\n";
            }
            made.bytes += text.size();
            writeText(root + "/logs/" + name, text);
        }
        made.installation = ReadInstallation(registryFor(root));
        return made;
    }();
    return year;
}

void StatsYearCold(benchmark::State& state) {
    const YearOfLogs& year = yearOfLogs();
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(year.installation.logDirectory + "/" + std::string(kReportIndexName) +
                       suffix);
        state.ResumeTiming();
        benchmark::DoNotOptimize(QueryStats(year.installation, {}));
    }
    state.SetBytesProcessed(int64_t(year.bytes) * state.iterations());
}
BENCHMARK(StatsYearCold)->Unit(benchmark::kMillisecond)->Iterations(1);

void StatsYearWarm(benchmark::State& state) {
    const YearOfLogs& year = yearOfLogs();
    QueryStats(year.installation, {});
    for (auto _ : state) benchmark::DoNotOptimize(QueryStats(year.installation, {}));
}
BENCHMARK(StatsYearWarm)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
