#pragma once
// Paths the agent derives from its directories. Each joins a directory and the rest
// with '/'; names from administrator data may carry Windows separators, which become
// '/'. The spelling is kept: whoever opens a file resolves it without regard to case.

#include <string>
#include <string_view>

namespace kz::config {

// Whether a name taken from configuration or message data stays one path component when
// joined to a folder: not empty, no "/" or "\\", no "..".
bool IsPlainName(std::string_view name);

// "<Mail Root>/<post office>", rereading the Mail Root while it is empty.
std::string PostOfficeRoot(std::string_view postOffice);

// "<root>/<connector>/Inbound/<message>" and ".../Inbound/Messages/<message>".
std::string QueueCommandFile(std::string_view connectorRoot, std::string_view connector,
                             std::string_view message);
std::string QueueMessageFile(std::string_view connectorRoot, std::string_view connector,
                             std::string_view message);

// Under the Configuration Directory.
std::string FilterTablePath(std::string_view configuration);  // FILTERS/FILTER.TAB
std::string CriteriaScriptPath(std::string_view configuration, std::string_view name);  // .KZS
std::string CriteriaTablePath(std::string_view configuration, std::string_view name);   // .TAB
std::string ActionFilePath(std::string_view configuration, std::string_view name);
std::string TemplatePath(std::string_view configuration, std::string_view name);

// A provider, plug-in or option library in the Application Directory.
std::string LibraryPath(std::string_view application, std::string_view fileName);
// The daily log file in the Activity Log Directory.
std::string DailyLogPath(std::string_view activityLog, std::string_view fileName);

}  // namespace kz::config
