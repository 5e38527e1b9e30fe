#include "held_message_files.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "message/envelope.h"
#include "platform/files.h"
#include "platform/utf8_path.h"
#include "providers/scan_providers.h"

namespace kz::tool {

namespace {

bool providerLoaded() {
    const providers::ScanProviders& loaded = providers::Providers();
    return loaded.bayesian.execute || loaded.spamAssassin.execute || loaded.dkim.execute ||
           loaded.antivirus.execute;
}

}  // namespace

std::string HeldFilesRoot(AgentSession& session) {
    return providerLoaded() ? session.privateQueueRoot() : std::string();
}

HeldMessageFiles::HeldMessageFiles(const std::string& queueRoot, MessageContext& context,
                                   const std::string& queued, unsigned long sequence) {
    char name[32];
    std::snprintf(name, sizeof name, "HELD%08lu.MAI", sequence);
    context.messageId = name;
    context.heldText = &queued;
    if (queueRoot.empty()) return;
    const std::string inbound = queueRoot + "/" + context.connectorName + "/Inbound";
    std::error_code ignored;
    std::filesystem::create_directories(platform::pathFromUtf8(inbound + "/Messages"), ignored);
    messageFile_ = inbound + "/Messages/" + name;
    commandFile_ = inbound + "/" + name;
    if (!platform::writeFileAtomic(messageFile_, queued) ||
        !WriteCommandFile(commandFile_, context, {}))
        throw std::runtime_error("cannot write the message for the scanning providers in " +
                                 inbound);
}

HeldMessageFiles::~HeldMessageFiles() {
    std::error_code ignored;
    if (!commandFile_.empty())
        std::filesystem::remove(platform::pathFromUtf8(commandFile_), ignored);
    if (!messageFile_.empty())
        std::filesystem::remove(platform::pathFromUtf8(messageFile_), ignored);
}

}  // namespace kz::tool
