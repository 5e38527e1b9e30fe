// Fuzz target: a queued message file through both scanners, the line-by-line one and
// the MIME-aware one, against the filter of tests/fixtures/scan (most text criteria,
// attachment rules and header searches enabled).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "evaluate/scan.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "fuzz_check.h"
#include "host/agent.h"

namespace {

namespace fs = std::filesystem;

const char* const kMessageId = "FUZZ.MAI";

kz::filters::FilterTable table;
fs::path messageFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kz::fuzz::SilenceStandardOutput();
    const fs::path& dir = kz::fuzz::ScratchDirectory();
    fs::copy(fs::path(KZ_FIXTURES) / "scan" / "config", dir / "config",
             fs::copy_options::recursive);
    fs::create_directories(dir / "connectors" / "SMTP" / "Inbound" / "Messages");
    messageFile = dir / "connectors" / "SMTP" / "Inbound" / "Messages" / kMessageId;

    static kz::host::Agent agent((dir / "registry.reg").string());
    KZ_FUZZ_CHECK(kz::config::machineRegistry()
                      .setString(kz::config::kConnectorsKey, kz::config::kConnectorRootDirectory,
                                 (dir / "connectors").string())
                      .ok());
    kz::config::ReadRunDirectories();
    kz::filters::LoadFilterTable(table, kz::filters::LoadOptions{(dir / "config").string(), false});
    KZ_FUZZ_CHECK(table.filterCount() == 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::ofstream(messageFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    for (bool mime : {false, true}) {
        kz::MessageContext context;
        context.connectorName = "SMTP";
        context.messageId = kMessageId;
        kz::filters::CriteriaResults results;
        kz::filters::AllocateResults(table, results);
        kz::evaluate::Evaluation evaluation(table, results, &context);
        if (mime) {
            kz::evaluate::ScanMessageMime(evaluation);
        } else {
            kz::evaluate::ScanMessagePlain(evaluation);
        }
        kz::filters::ReleaseResults(results);
    }
    return 0;
}
