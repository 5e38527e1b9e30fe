#pragma once
// The configuration files of the demo environment.

#include <string>
#include <utility>
#include <vector>

namespace kz::tool {

// Files relative to the configuration directory, with their contents (CR LF lines, as
// an administrator's files copied from a Windows server).
std::vector<std::pair<std::string, std::string>> DemoConfigurationFiles();

struct DemoMail {
    std::string id;
    std::string summary;
    std::string sender;
    std::string recipients;
    std::string clientIp;
    std::string body;  // the whole message text (CR LF)
};
std::vector<DemoMail> DemoMails();

}  // namespace kz::tool
