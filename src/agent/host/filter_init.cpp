#include "host/filter_init.h"

#include "base/ascii.h"
#include "base/delimited_field.h"
#include "base/format.h"
#include "config/directories.h"
#include "config/settings.h"
#include "log/trace.h"
#include "platform/exports.h"
#include "platform/files.h"

namespace kz::host {

namespace {

constexpr std::string_view kThisAgent = "MTAFILTER";

using PluginInitializeFn = int(KZ_STDCALL*)();

// The agent's plug-in library when it is enabled and named, else empty.
std::string EnabledPluginProvider(std::string_view agent) {
    std::string provider;
    if (!config::AgentEnabled(agent) || !config::AgentPluginEnabled(agent)) return {};
    if (!config::AgentPluginProvider(agent, provider)) return {};
    return provider;
}

}  // namespace

int LoadAntivirusPlugins(AntivirusPlugins& plugins) {
    std::string order = config::ProcessingOrder();
    int entries = order.empty() ? 0 : CountDelimitedFields(order, ",");
    std::lock_guard lock(plugins.mutex);
    for (int i = 1; i <= entries; ++i) {
        std::string agent;
        if (!GetDelimitedField(order, ",", i, agent, config::kProcessingOrderLimit)) continue;
        if (equalsIgnoreCase(agent, kThisAgent)) continue;
        std::string provider = EnabledPluginProvider(agent);
        if (provider.empty()) continue;

        log::Trace("Antivirus Plugin Provider loading library..\n");
        std::string path = platform::joinPath(config::CurrentDirectories()->application,
                                              platform::toNativeSeparators(provider));
        auto library = platform::DynamicLibrary::load(path);
        if (!library) {
            log::Trace("Antivirus Loading - Unable to locate AV Plugin Provider.\n");
            return 0;
        }
        auto initialize = library->entry<PluginInitializeFn>("PluginInitialize");
        plugins.libraries.push_back(std::move(library));
        if (!initialize) {
            log::Trace("Antivirus Loading - Unable to locate AV Plugin Initialize.\n");
        } else {
            initialize();
        }
    }
    return 1;
}

}  // namespace kz::host
