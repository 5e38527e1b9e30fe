// Writes lines through the DebugLog as an attached agent would:
//   kztest-log_writer REGISTRY TAG THREADS LINES
// Each of THREADS threads writes LINES lines "TAG THREAD LINE PAYLOAD\n", where the
// payload is long enough that a torn write would show.

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/format.h"
#include "config/settings.h"
#include "host/agent.h"
#include "log/debug_log.h"
#include "log/log_lifecycle.h"

int main(int argc, char** argv) {
    if (argc != 5) return 1;
    std::string tag = argv[2];
    int threads = std::atoi(argv[3]);
    int lines = std::atoi(argv[4]);
    kz::host::Agent agent(argv[1]);
    kz::log::StartLogging();
    kz::config::ReadAttachSettings();
    std::string payload(300, tag.empty() ? 'x' : tag[0]);
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i)
                kz::log::DebugLogf("%s %d %d %s\n", tag.c_str(), t, i, payload.c_str());
        });
    }
    for (std::thread& writer : writers) writer.join();
    kz::log::StopLogging();
    return 0;
}
