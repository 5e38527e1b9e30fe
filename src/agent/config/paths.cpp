#include "config/paths.h"

#include "config/directories.h"
#include "platform/files.h"

namespace kz::config {

namespace {

std::string under(std::string_view dir, std::string_view rest) {
    return platform::joinPath(dir, platform::toNativeSeparators(rest));
}

std::string underFilters(std::string_view configuration, std::string_view folder,
                         std::string_view name, std::string_view extension) {
    std::string rest = "FILTERS/";
    rest.append(folder).append("/").append(name).append(extension);
    return under(configuration, rest);
}

std::string inInbound(std::string_view connectorRoot, std::string_view connector,
                      std::string_view folder, std::string_view message) {
    std::string rest(connector);
    rest.append("/Inbound/").append(folder).append(message);
    return under(connectorRoot, rest);
}

}  // namespace

bool IsPlainName(std::string_view name) {
    return !name.empty() && name.find("..") == std::string_view::npos &&
           name.find_first_of("/\\") == std::string_view::npos;
}

std::string PostOfficeRoot(std::string_view postOffice) {
    return under(MailRootDirectory(), postOffice);
}

std::string QueueCommandFile(std::string_view connectorRoot, std::string_view connector,
                             std::string_view message) {
    return inInbound(connectorRoot, connector, "", message);
}

std::string QueueMessageFile(std::string_view connectorRoot, std::string_view connector,
                             std::string_view message) {
    return inInbound(connectorRoot, connector, "Messages/", message);
}

std::string FilterTablePath(std::string_view configuration) {
    return under(configuration, "FILTERS/FILTER.TAB");
}

std::string CriteriaScriptPath(std::string_view configuration, std::string_view name) {
    return underFilters(configuration, "CRITERIA", name, ".KZS");
}

std::string CriteriaTablePath(std::string_view configuration, std::string_view name) {
    return underFilters(configuration, "CRITERIA", name, ".TAB");
}

std::string ActionFilePath(std::string_view configuration, std::string_view name) {
    return underFilters(configuration, "ACTIONS", name, ".TAB");
}

std::string TemplatePath(std::string_view configuration, std::string_view name) {
    return underFilters(configuration, "Templates", name, ".TXT");
}

std::string LibraryPath(std::string_view application, std::string_view fileName) {
    return under(application, fileName);
}

std::string DailyLogPath(std::string_view activityLog, std::string_view fileName) {
    return under(activityLog, fileName);
}

}  // namespace kz::config
