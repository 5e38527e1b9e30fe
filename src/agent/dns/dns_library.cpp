#include "dns/dns_library.h"

#include "base/installed.h"
#include "config/directories.h"
#include "config/paths.h"
#include "config/settings.h"
#include "log/dns_log_filter.h"
#include "log/exception_report.h"
#include "log/report_log.h"
#include "platform/exports.h"

namespace kz::dns {

namespace {

using SetLoggingEntry = int(KZ_STDCALL*)(char* logFileName, log::DnsLogFunction callback,
                                         void* logStream, void* logLock);
using InitializeEntry = int(KZ_STDCALL*)(const char* serverList);
using LookupEntry = int(KZ_STDCALL*)(const char* host, const char* address, char* response,
                                     char* listName);

constexpr std::size_t kLookupBufferSize = 256;
// Where a lookup's exception is said to have occurred, as administrators know it.
constexpr log::ExceptionSite kLookupSite{"DNSQuery", 104, 3};

std::shared_ptr<platform::DynamicLibrary> currentLibrary() {
    DnsLibrary* installed = Installed<DnsLibrary>::current();
    if (!installed) return nullptr;
    std::lock_guard hold(installed->mutex);
    return installed->library;
}

void hookUpLogging(const platform::DynamicLibrary& library) {
    const log::SharedLogHandles handles = log::SharedLogHandlesForLibraries();
    if (!handles.lock) return;
    auto setLogging = library.entry<SetLoggingEntry>("SetLoggingFunction");
    if (setLogging) setLogging(handles.fileName, &log::DnsLogFilter, handles.stream, handles.lock);
}

}  // namespace

int StartDnsLibrary() {
    DnsLibrary* installed = Installed<DnsLibrary>::current();
    if (!installed) return 0;
    std::shared_ptr<platform::DynamicLibrary> library = platform::DynamicLibrary::load(
        config::LibraryPath(config::ReadApplicationDirectory(), "KZWINDNS.DLL"));
    LinkResolver links = MakeLinkResolver();
    {
        std::lock_guard hold(installed->mutex);
        installed->library = library;
        installed->links = std::move(links);
    }
    if (!library) return 0;
    hookUpLogging(*library);
    auto initialize = library->entry<InitializeEntry>("DNSInitialize");
    if (!initialize) return 0;
    return initialize(config::Settings().localDnsServerList.c_str());
}

int HasOrbdbEntry(std::string_view host, std::string_view address, std::string& response,
                  std::string& listName) {
    const std::shared_ptr<platform::DynamicLibrary> library = currentLibrary();
    if (!library) return 0;
    auto lookup = library->entry<LookupEntry>("HasORBDBEntry");
    if (!lookup) return 0;
    const std::string hostText(host);
    const std::string addressText(address);
    std::string responseBuffer(kLookupBufferSize, '\0');
    std::string listBuffer(kLookupBufferSize, '\0');
    int listed = 0;
    try {
        listed =
            lookup(hostText.c_str(), addressText.c_str(), responseBuffer.data(), listBuffer.data());
    } catch (...) {
        log::ReportEscapedException("HasORBDBEntry", std::current_exception(), kLookupSite);
        throw;
    }
    responseBuffer.back() = '\0';
    listBuffer.back() = '\0';
    response.assign(responseBuffer.c_str());
    listName.assign(listBuffer.c_str());
    return listed;
}

}  // namespace kz::dns
