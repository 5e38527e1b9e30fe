// Cost of a DNS blacklist lookup against a local dnsmasq, per thread: a host not seen
// before (every zone asked), a host answered from the cache, and a bare query of the
// same name through the resolver, which is the server's own time plus the round trip.
// The difference between the first and the last is what the library adds.
//
//   build/bin/kzwindns_bench [--benchmark_filter=Fresh]

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

#include "blacklist_lookup.h"
#include "dns_client.h"
#include "provider_support/server_list.h"
#include "query_names.h"
#include "support/dnsmasq_server.h"

namespace {

using namespace kz::windns;
using kz::providers::ParseServerList;

std::unique_ptr<kz::test::DnsmasqServer> gDns;
std::unique_ptr<BlacklistLookup> gLookup;
std::unique_ptr<DnsClient> gClient;
std::atomic<unsigned> gNext{0};

// A different unlisted address for every call, so no answer comes from the cache.
std::string freshAddress() {
    const unsigned n = gNext++;
    return "10." + std::to_string((n >> 16) & 255) + "." + std::to_string((n >> 8) & 255) + "." +
           std::to_string(n & 255);
}

void LookupFresh(benchmark::State& state) {
    for (auto _ : state) {
        Listing listing;
        benchmark::DoNotOptimize(gLookup->isListed("", freshAddress(), listing));
    }
    state.SetItemsProcessed(state.iterations());
}

void LookupCached(benchmark::State& state) {
    Listing listing;
    gLookup->isListed("", "192.0.2.5", listing);
    for (auto _ : state) benchmark::DoNotOptimize(gLookup->isListed("", "192.0.2.5", listing));
    state.SetItemsProcessed(state.iterations());
}

void BareQuery(benchmark::State& state) {
    for (auto _ : state) {
        const std::string reversed = *ReversedAddress(freshAddress());
        benchmark::DoNotOptimize(gClient->ask({reversed + ".bl.test"}));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(LookupFresh)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(LookupCached)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BareQuery)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // dnsmasq keeps no answers of its own for the names it serves locally.
    gDns = std::make_unique<kz::test::DnsmasqServer>(
        kz::test::fixture("dns/blacklist.hosts"),
        std::vector<std::string>{"--local=/bl.test/", "--address=/2.0.192.bl.test/127.0.0.4"});
    BlacklistSettings settings;
    settings.addressZones = ParseZoneList("bl.test");
    gLookup = std::make_unique<BlacklistLookup>(settings, ParseServerList(gDns->server()).servers);
    gClient = std::make_unique<DnsClient>(ParseServerList(gDns->server()).servers, kDefaultTimeout);
    benchmark::RunSpecifiedBenchmarks();
    gLookup.reset();
    gClient.reset();
    gDns.reset();
    return 0;
}
