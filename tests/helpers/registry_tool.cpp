// A second process for the registry tests.
//   set-many FILE KEY PREFIX COUNT THREADS  sets PREFIX0..PREFIX<COUNT-1> to their index,
//                                           split over THREADS threads of one Registry
//   watch FILE KEY NAME READY GO            prints the value, creates READY, waits for
//                                           GO to exist, prints the value again
//   churn FILE KEY                          rewrites values until killed

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"

using kz::platform::Registry;

namespace {

int setMany(Registry& registry, const std::string& key, const std::string& prefix, int count,
            int threads) {
    std::vector<std::thread> workers;
    std::vector<int> failures(std::size_t(threads), 0);
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = t; i < count; i += threads) {
                if (!registry.setDword(key, prefix + std::to_string(i), uint32_t(i)).ok()) {
                    ++failures[std::size_t(t)];
                }
            }
        });
    }
    for (std::thread& w : workers) w.join();
    for (int f : failures) {
        if (f) return 1;
    }
    return 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void printValue(const Registry& registry, const std::string& key, const std::string& name) {
    auto value = registry.query(key, name);
    auto number = value ? value->asDword() : std::nullopt;
    std::printf("%s\n", number ? std::to_string(*number).c_str() : "absent");
    std::fflush(stdout);
}

int watch(const Registry& registry, const std::string& key, const std::string& name,
          const std::string& ready, const std::string& go) {
    printValue(registry, key, name);
    std::ofstream(ready) << "ready\n";
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!exists(go)) {
        if (std::chrono::steady_clock::now() > giveUp) return 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    printValue(registry, key, name);
    return 0;
}

int churn(Registry& registry, const std::string& key) {
    std::string filler(200, 'x');
    for (unsigned long i = 0;; ++i) {
        std::string name = "Value " + std::to_string(i % 300);
        if (!registry.setString(key, name, std::to_string(i) + filler).ok()) return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 6 && args[0] == "set-many") {
        Registry registry(args[1]);
        return setMany(registry, args[2], args[3], std::atoi(args[4].c_str()),
                       std::atoi(args[5].c_str()));
    }
    if (args.size() == 6 && args[0] == "watch") {
        Registry registry(args[1]);
        return watch(registry, args[2], args[3], args[4], args[5]);
    }
    if (args.size() == 3 && args[0] == "churn") {
        Registry registry(args[1]);
        return churn(registry, args[2]);
    }
    std::fprintf(stderr, "usage: kztest-registry_tool set-many|watch|churn ...\n");
    return 2;
}
