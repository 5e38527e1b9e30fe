// KZAISO: the option provider of post offices and mailboxes.
//
// Options live in the machine registry file (KZ_REGISTRY), one REG_SZ per option whose
// value name is the option name:
//
//   SOFTWARE\Kaztrel\Kaztrel\Options\PostOffices\<post office>              scope 1
//   SOFTWARE\Kaztrel\Kaztrel\Options\Mailboxes\<post office>\<mailbox>      scope 2
//
// A mailbox is named "<post office>/<mailbox>". Names that are empty or hold a
// backslash are refused, so that no name reaches a key outside its own.

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/exports.h"
#include "platform/registry.h"

namespace {

constexpr std::string_view kPostOfficesKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\PostOffices";
constexpr std::string_view kMailboxesKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\Mailboxes";
constexpr int kScopePostOffice = 1;
constexpr int kScopeMailbox = 2;
constexpr int kDefaultResultSize = 1024;

bool validName(std::string_view name) {
    return !name.empty() && name.find('\\') == std::string_view::npos;
}

std::optional<std::string> optionKey(int scope, const char* object) {
    if (!object) return std::nullopt;
    std::string_view name(object);
    std::string key;
    if (scope == kScopePostOffice) {
        if (!validName(name)) return std::nullopt;
        key.assign(kPostOfficesKey).append("\\").append(name);
        return key;
    }
    if (scope != kScopeMailbox) return std::nullopt;
    std::size_t slash = name.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string_view postOffice = name.substr(0, slash);
    std::string_view mailbox = name.substr(slash + 1);
    if (!validName(postOffice) || !validName(mailbox)) return std::nullopt;
    key.assign(kMailboxesKey).append("\\").append(postOffice).append("\\").append(mailbox);
    return key;
}

// The registry file named by the environment now; reopened when that name changes.
std::shared_ptr<kz::platform::Registry> registry() {
    static std::mutex mutex;
    static std::shared_ptr<kz::platform::Registry> current;
    std::string path = kz::platform::Registry::defaultPath();
    std::lock_guard lock(mutex);
    if (!current || current->path() != path)
        current = std::make_shared<kz::platform::Registry>(path);
    return current;
}

int getOption(int scope, const char* object, const char* option, char* result, int size) {
    if (!result || size <= 0) return 0;
    result[0] = '\0';
    auto key = optionKey(scope, object);
    if (!key || !option || !*option) return 0;
    auto value = registry()->query(*key, option);
    if (!value) return 0;
    std::string text = value->asString();
    std::size_t length = std::min(text.size(), std::size_t(size - 1));
    std::memcpy(result, text.data(), length);
    result[length] = '\0';
    return 1;
}

int setOption(int scope, const char* object, const char* option, const char* value) {
    auto key = optionKey(scope, object);
    if (!key || !option || !*option || !value) return 0;
    return registry()->setString(*key, option, value).ok() ? 1 : 0;
}

}  // namespace

// Nothing may be thrown across these entries: a failure is a 0 result.

KZ_EXPORT int KZ_STDCALL GetOption_Ex(int scope, const char* object, const char* option,
                                      char* result, int size) {
    try {
        return getOption(scope, object, option, result, size);
    } catch (...) {
        return 0;
    }
}

KZ_EXPORT int KZ_STDCALL GetOption(int scope, const char* object, const char* option,
                                   char* result) {
    return GetOption_Ex(scope, object, option, result, kDefaultResultSize);
}

KZ_EXPORT int KZ_STDCALL SetOption(int scope, const char* object, const char* option,
                                   const char* value) {
    try {
        return setOption(scope, object, option, value);
    } catch (...) {
        return 0;
    }
}
