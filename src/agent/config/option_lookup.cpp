#include "config/option_lookup.h"

#include <array>
#include <memory>
#include <mutex>

#include "base/format.h"
#include "base/installed.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/paths.h"
#include "platform/dynlib.h"
#include "platform/exports.h"

namespace kz::config {

using GetOptionFn = int(KZ_STDCALL*)(int, const char*, const char*, char*);
using GetOptionExFn = int(KZ_STDCALL*)(int, const char*, const char*, char*, int);
using SetOptionFn = int(KZ_STDCALL*)(int, const char*, const char*, const char*);

constexpr std::string_view kProviderFile = "KZAISO.DLL";

struct OptionProvider {
    std::unique_ptr<platform::DynamicLibrary> library;
    GetOptionFn getOption = nullptr;
    GetOptionExFn getOptionEx = nullptr;
    SetOptionFn setOption = nullptr;
};

namespace {

std::shared_ptr<const OptionProvider> loadProvider() {
    std::string application = CurrentDirectories()->application;
    if (application.empty()) application = ReadApplicationDirectory();
    auto library = platform::DynamicLibrary::load(LibraryPath(application, kProviderFile));
    if (!library) return nullptr;
    auto provider = std::make_shared<OptionProvider>();
    provider->getOption = library->entry<GetOptionFn>("GetOption");
    provider->getOptionEx = library->entry<GetOptionExFn>("GetOption_Ex");
    provider->setOption = library->entry<SetOptionFn>("SetOption");
    // Started only when both required entries are there.
    if (!provider->getOption || !provider->setOption) return nullptr;
    provider->library = std::move(library);
    return provider;
}

std::shared_ptr<const OptionProvider> startedProvider() {
    OptionProviderSlot* slot = Installed<OptionProviderSlot>::current();
    if (!slot) return nullptr;
    std::lock_guard lock(slot->mutex);
    if (!slot->loadAttempted) {
        slot->loadAttempted = true;
        slot->provider = loadProvider();
    }
    return slot->provider;
}

}  // namespace

std::string MailboxObjectName(std::string_view postOffice, std::string_view mailbox) {
    return formatBounded(kOptionResultLimit, "%.*s/%.*s", int(postOffice.size()), postOffice.data(),
                         int(mailbox.size()), mailbox.data());
}

int LookupOption(int scope, std::string_view objectName, std::string_view optionName,
                 std::string& result) {
    result.clear();
    auto provider = startedProvider();
    if (!provider) return 0;
    std::string object(kOptionResultLimit.cut(objectName));
    std::string option(kOptionResultLimit.cut(optionName));
    std::array<char, kOptionResultLimit.bufferSize> buffer{};
    int status = provider->getOptionEx
                     ? provider->getOptionEx(scope, object.c_str(), option.c_str(), buffer.data(),
                                             int(buffer.size()))
                     : provider->getOption(scope, object.c_str(), option.c_str(), buffer.data());
    // A provider that fills the whole buffer still leaves at most 1023 characters.
    buffer.back() = '\0';
    result.assign(buffer.data());
    return status;
}

}  // namespace kz::config
