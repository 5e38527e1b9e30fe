#include "actions/public_folder.h"

#include "base/ascii.h"
#include "config/option_lookup.h"
#include "config/settings.h"

namespace kz::actions {

namespace {

constexpr std::string_view kPublic = "Public";

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string Option(int scope, std::string_view object, std::string_view name) {
    std::string value;
    config::LookupOption(scope, object, name, value);
    return value;
}

}  // namespace

std::optional<std::string> PublicFolderRest(std::string_view folder) {
    for (std::size_t start : {std::size_t{0}, std::size_t{1}}) {
        if (folder.size() < start + kPublic.size()) break;
        if (!equalsIgnoreCase(folder.substr(start, kPublic.size()), kPublic)) continue;
        std::size_t after = start + kPublic.size();
        if (after == folder.size()) return std::string();
        if (IsSeparator(folder[after])) return std::string(folder.substr(after + 1));
    }
    return std::nullopt;
}

bool PublicFolderModificationPermitted(std::string_view postOffice, std::string_view mailbox) {
    using namespace config;
    if (Option(kOptionScopePostOffice, postOffice, kOptionPublicFolders) != "1") return false;
    switch (PublicFoldersModificationPermitted()) {
        case 1:
            return true;
        case 2:
            break;
        default:
            return false;
    }
    std::string office =
        Option(kOptionScopePostOffice, postOffice, kOptionWebMailPublicFoldersModification);
    if (office == "1") return true;
    if (office != "2") return false;
    if (mailbox.empty()) return true;
    return Option(kOptionScopeMailbox, MailboxObjectName(postOffice, mailbox),
                  kOptionWebMailPublicFoldersModification) == "1";
}

}  // namespace kz::actions
