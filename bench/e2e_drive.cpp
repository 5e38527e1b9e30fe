// Drives the agent library as the MTA does: loaded once, then one FilterExecute per queued
// message from THREADS threads that take the next name from a shared counter. Prints one
// line: label, messages, seconds, messages per second, p99 wall time and mean thread CPU
// time per message (µs); PERMSG, when given, receives each message's CPU time.
//
//   e2e_drive LIBRARY CONNECTOR NAMES THREADS LABEL [PERMSG]

#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using FilterExecute = int (*)(const char*, const char*, const char*, int);
using FilterInit = int (*)(int);

double threadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: e2e_drive LIBRARY CONNECTOR NAMES THREADS LABEL [PERMSG]\n");
        return 2;
    }
    const std::string connector = argv[2];
    std::vector<std::string> names;
    std::ifstream list(argv[3]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) names.push_back(line);
    }
    const int threads = std::max(1, std::atoi(argv[4]));

    // The agent's trace lines go to standard output: keep them out of the result.
    FILE* result = fdopen(dup(STDOUT_FILENO), "w");
    dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);

    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto execute = reinterpret_cast<FilterExecute>(dlsym(library, "FilterExecute"));
    if (auto init = reinterpret_cast<FilterInit>(dlsym(library, "FilterInit"))) init(0);

    std::vector<double> wall(names.size()), cpu(names.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < names.size(); i = next++) {
            const Clock::time_point start = Clock::now();
            const double startCpu = threadCpuMicroseconds();
            execute("bench", names[i].c_str(), connector.c_str(), 0);
            cpu[i] = threadCpuMicroseconds() - startCpu;
            wall[i] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        }
    };
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    if (argc > 6) {
        if (FILE* perMessage = std::fopen(argv[6], "w")) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                std::fprintf(perMessage, "%s\t%.1f\n", names[i].c_str(), cpu[i]);
            }
            std::fclose(perMessage);
        }
    }
    std::vector<double> sorted = wall;
    std::sort(sorted.begin(), sorted.end());
    const double p99 = sorted.empty() ? 0 : sorted[std::size_t(0.99 * double(sorted.size() - 1))];
    const double cpuMean =
        names.empty() ? 0 : std::accumulate(cpu.begin(), cpu.end(), 0.0) / double(names.size());
    std::fprintf(result, "%s %zu %.4f %.2f %.1f %.1f\n", argv[5], names.size(), seconds,
                 double(names.size()) / seconds, p99, cpuMean);
    std::fclose(result);
    dlclose(library);  // detach, as the MTA's unload does
    return 0;
}
