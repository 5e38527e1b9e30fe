#pragma once
// The directories the agent takes from the registry. Runs on many threads read them
// while one thread may be rereading them, so readers get an immutable snapshot; a
// reread publishes a new one.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "base/text_limit.h"

namespace kz::config {

struct Directories {
    static constexpr TextLimit kDirectoryLimit{1024};
    static constexpr TextLimit kActivityLogDirectoryLimit{512};

    std::string mailRoot;
    std::string connectorRoot;
    std::string configuration;
    // The copy read only at attach, for the outbound whitelist marker files.
    std::string whitelistConfiguration;
    std::string badMail;
    std::string quarantine;
    std::string application;
    std::string activityLog;

    bool operator==(const Directories&) const = default;
};

// The snapshots of one attached process. Its owner installs it
// (Installed<PublishedDirectories>); without one every directory reads empty, a read
// from the registry is not kept and the Mail Root is read on every use.
struct PublishedDirectories {
    std::mutex mutex;
    std::shared_ptr<const Directories> current = std::make_shared<const Directories>();
};

// The current snapshot; never null (every directory empty before the first read).
std::shared_ptr<const Directories> CurrentDirectories();

// At attach: every directory.
void ReadAttachDirectories();
// At the start of every message run: Connector Root, Configuration, Bad Mail and
// Quarantine.
void ReadRunDirectories();
// The Application Directory as the registry holds it now (not the attach snapshot).
std::string ReadApplicationDirectory();
// The Mail Root of the snapshot, read again (and kept) while it is still empty.
std::string MailRootDirectory();

}  // namespace kz::config
