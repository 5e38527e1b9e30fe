#include "store_settings.h"

#include "base/default_paths.h"
#include "base/path_split.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "provider_support/provider_key.h"

namespace kz::bayes {

namespace {
constexpr const char* kFileName = "Bayes.db";
}

std::string DefaultDatabase() {
    if (*kDefaultStateDirectory != '\0')
        return platform::joinPath(kDefaultStateDirectory, kFileName);
#ifdef _WIN32
    // The machine's folder for programs' data, not the libraries' folder, which
    // administrators keep read-only.
    if (const auto data = platform::getEnvironment("ProgramData"); data && !data->empty()) {
        const std::string folder = platform::joinPath(*data, "Kaztrel");
        platform::createDirectory(folder);
        return platform::joinPath(folder, kFileName);
    }
#endif
    const std::string registry = platform::Registry::defaultPath();
    const PathSplit split = splitAtLastSeparator(registry);
    return split.hasSeparator ? platform::joinPath(split.parent, kFileName) : kFileName;
}

StoreSettings ReadStoreSettings() {
    const providers::ProviderKey key("Bayesian");
    StoreSettings settings;
    settings.database = key.text("Database", "");
    if (settings.database.empty()) settings.database = DefaultDatabase();
    settings.password = key.text("Password", "");
    // A timeout of 0 would wait for ever.
    settings.timeout = key.milliseconds("Timeout", 2000);
    if (settings.timeout.count() == 0) settings.timeout = std::chrono::milliseconds(2000);
    settings.maxTokens = key.number("Max Tokens", 0);
    return settings;
}

}  // namespace kz::bayes
