#pragma once
// A mail server in a scratch folder built from a dispatch case (tests/fixtures/dispatch),
// its registry values in the machine's registry, and the agent library loaded with
// LoadLibrary as the MTA loads it.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "windows_test_support.h"

namespace kz::test {

class LoadedAgent {
  public:
    // The scratch folder's name starts with `folderName`.
    explicit LoadedAgent(const std::string& caseName, const std::string& folderName = "kztest");
    ~LoadedAgent() { unload(); }
    LoadedAgent(const LoadedAgent&) = delete;
    LoadedAgent& operator=(const LoadedAgent&) = delete;

    // The registry the agent reads, for values beyond the case's own.
    platform::Registry registry() const {
        return platform::Registry(platform::Registry::defaultPath());
    }
    std::string file(const std::string& relative) const { return scratch.file(relative); }
    const std::string& root() const { return scratch.path(); }

    // Queues the sample of tests/fixtures/dispatch/messages, or the given texts.
    void queue(const std::string& id, const std::string& sample);
    void queueText(const std::string& id, const std::string& envelope, const std::string& text);

    // Loads the library (attach reads the registry), gives it the commands (FilterCommand),
    // filters the messages in order and unloads it (detach writes the report's end line).
    void filter(const std::vector<std::string>& ids, const std::vector<std::string>& commands = {});

    // The outcome in the form of outcome.txt: "== report" and the Executed lines, then
    // "== FILE" and the content of each file, by relative path in byte order.
    std::string outcome() const;

  private:
    void unload();

    ScratchFolder scratch;
    HMODULE library = nullptr;
};

}  // namespace kz::test
