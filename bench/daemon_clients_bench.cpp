// Cost of the SpamAssassin and antivirus provider libraries against a spamd and a clamd the
// benchmark starts itself, per thread: the library's entry as the agent calls it, and a
// bare exchange of the same message with the daemon (its own time plus the round trip).
// The difference between the two is what the library adds.
//
//   build/bin/daemon_clients_bench [--benchmark_filter=Clamd]

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <memory>

#include "e2e/provider_daemons.h"
#include "platform/dynlib.h"
#include "platform/stream_socket.h"

namespace {

using namespace kz;
using Connection = platform::StreamConnection;
using RequestEntry = int (*)(const char*, int32_t, char*, int32_t*);
using AntivirusEntry = int (*)(const char*, const char*, const char*, char*);

std::unique_ptr<test::Spamd> gSpamd;
std::unique_ptr<test::Clamd> gClamd;
std::unique_ptr<test::TempDir> gServer;
std::unique_ptr<platform::DynamicLibrary> gSpamLibrary, gVirusLibrary;
std::string gMessage, gMessagePath;

std::string exchange(const std::string& address, const std::string& request, int terminator) {
    std::string why, answer;
    auto connection = Connection::connect(address, 0, std::chrono::seconds(30), why);
    if (!connection) return why;
    const auto deadline = Connection::Clock::now() + std::chrono::seconds(30);
    connection->send(request, deadline);
    connection->finishSending();
    connection->receive(answer, 65536, deadline, terminator);
    return answer;
}

void SpamdProvider(benchmark::State& state) {
    auto execute = gSpamLibrary->entry<RequestEntry>("KZ_Execute");
    const std::string request = "<FILENAME>" + gMessagePath + "</FILENAME><CMDFILE></CMDFILE>";
    for (auto _ : state) {
        std::string reply(1024, '\0');
        int32_t length = 1024;
        if (execute(request.c_str(), int32_t(request.size()), reply.data(), &length) != 1)
            state.SkipWithError("no verdict");
    }
    state.SetItemsProcessed(state.iterations());
}

void SpamdBare(benchmark::State& state) {
    const std::string request =
        "SYMBOLS SPAMC/1.5\r\nContent-length: " + std::to_string(gMessage.size()) + "\r\n\r\n" +
        gMessage;
    for (auto _ : state) benchmark::DoNotOptimize(exchange(gSpamd->address, request, -1));
    state.SetItemsProcessed(state.iterations());
}

void ClamdProvider(benchmark::State& state) {
    auto execute = gVirusLibrary->entry<AntivirusEntry>("ProviderExecute");
    for (auto _ : state) {
        std::string result(1024, '\0');
        if (execute("MTAFILTER", "BENCH.MAI", "SMTP", result.data()) != 0)
            state.SkipWithError(result.c_str());
    }
    state.SetItemsProcessed(state.iterations());
}

void ClamdBare(benchmark::State& state) {
    const uint32_t size = uint32_t(gMessage.size());
    std::string request("zINSTREAM\0", 10);
    for (int shift : {24, 16, 8, 0}) request += char((size >> shift) & 0xff);
    request += gMessage;
    request.append(4, '\0');
    for (auto _ : state) benchmark::DoNotOptimize(exchange(gClamd->socket, request, '\0'));
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(SpamdProvider)->Threads(1)->Threads(2)->UseRealTime()->MinTime(3);
BENCHMARK(SpamdBare)->Threads(1)->Threads(2)->UseRealTime()->MinTime(3);
BENCHMARK(ClamdProvider)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(ClamdBare)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gSpamd = std::make_unique<test::Spamd>();
    gClamd = std::make_unique<test::Clamd>();
    if (!gSpamd->start() || !gClamd->start()) {
        std::fprintf(stderr, "spamd or clamd did not start (scripts/setup.sh installs them)\n");
        return 1;
    }
    gServer = std::make_unique<test::TempDir>();
    gMessage = test::readFile(test::fixture("providers/daemons/plain.eml"));
    gMessagePath = gServer->file("queue/SMTP/Inbound/Messages/BENCH.MAI");
    test::writeFile(gMessagePath, gMessage);
    const std::string agentKey =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";
    test::writeFile(
        gServer->file("registry.reg"),
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS]\r\n"
        "\"Connector Root Directory\"=\"" +
            gServer->file("queue") + "\"\r\n\r\n" + agentKey + "\\SpamAssassin]\r\n\"Server\"=\"" +
            gSpamd->address + "\"\r\n\r\n" + agentKey + "\\Antivirus]\r\n\"Server\"=\"" +
            gClamd->socket + "\"\r\n");
    ::setenv("KZ_REGISTRY", gServer->file("registry.reg").c_str(), 1);
    gSpamLibrary = platform::DynamicLibrary::load(KZ_LIB_DIR "/KZFLTMSA.DLL");
    gVirusLibrary = platform::DynamicLibrary::load(KZ_LIB_DIR "/KZAVGEN.DLL");
    if (!gSpamLibrary || !gVirusLibrary) return 1;
    benchmark::RunSpecifiedBenchmarks();
    gSpamLibrary.reset();
    gVirusLibrary.reset();
    gSpamd.reset();
    gClamd.reset();
    return 0;
}
