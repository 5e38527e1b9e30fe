#pragma once
// The demo: a complete mail environment in one folder (registry file, configuration
// with realistic filters, a connector queue with realistic messages).

#include <string>
#include <vector>

namespace kz::tool {

struct DemoMessage {
    std::string id;       // queue file name
    std::string summary;  // what the message is, for the printout
};

struct DemoEnvironment {
    std::string root;
    std::string registry;
    std::string connectorRoot;
    std::string connector;
    std::string logDirectory;
    std::vector<DemoMessage> messages;
};

// Creates (or recreates) the environment under root; libraryDir is the Application
// Directory (where the agent's provider libraries lie).
DemoEnvironment CreateDemoEnvironment(const std::string& root, const std::string& libraryDir);

}  // namespace kz::tool
