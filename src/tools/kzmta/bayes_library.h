#pragma once
// The Bayesian classifier library as kzmta bayes talks to it: through its execute entry,
// the one the agent calls, so that both read the same settings and tokens.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynlib.h"
#include "platform/exports.h"

namespace kz::tool {

class Classifier {
  public:
    explicit Classifier(const std::string& path);
    // The entry's result and its reply.
    std::pair<int, std::string> ask(const std::string& command) const;

  private:
    using ExecuteEntry = int(KZ_STDCALL*)(const char*, int32_t, char*, int32_t*);
    platform::DynamicLibrary* library_ = nullptr;  // kept loaded until the process ends
    ExecuteEntry execute_ = nullptr;
};

// The text of <tag> in a reply; empty without it.
std::string ReplyValue(const std::string& reply, const std::string& tag);

// The library learns up to this many files in one transaction, much faster than one by
// one; its reply counts those that changed.
inline constexpr std::size_t kFilesPerRequest = 500;

struct Taught {
    uint64_t changed = 0, unchanged = 0;
    std::vector<std::pair<std::size_t, std::string>> failed;  // a file's place, and why
};

// "LEARN SPAM" and the like for up to kFilesPerRequest files. A batch that fails changes
// nothing and is asked again file by file, to tell which failed.
Taught AskForFiles(const Classifier& classifier, const std::string& command,
                   const std::vector<std::string>& files);

}  // namespace kz::tool
