#pragma once
// The agent library as the MTA holds it: loaded by path, its entries looked up by name.

#include <memory>
#include <string>

#include "platform/dynlib.h"

namespace kz::tool {

class AgentLibrary {
  public:
    // Throws with a clear message when the library or an entry is missing.
    explicit AgentLibrary(const std::string& path);
    ~AgentLibrary();

    int filterInit() const { return init_(0); }
    int filterExecute(const std::string& message, const std::string& connector) const {
        return execute_("kzmta", message.c_str(), connector.c_str(), 0);
    }
    // 0 when the run could not do what its filters asked and the message is to be tried
    // again later (a quarantine copy or a rewrite failed); it is then left queued. A
    // library without the entry is taken at FilterExecute's word.
    int filterExecuteChecked(const std::string& message, const std::string& connector) const {
        return (checked_ ? checked_ : execute_)("kzmta", message.c_str(), connector.c_str(), 0);
    }
    int filterUnInit() const { return uninit_(0); }

    // The installed build's library folder, else the library next to the tool:
    // <tool dir>/../lib/libkzmtafilter.so.
    static std::string defaultPath();

  private:
    using InitFn = int (*)(int);
    using ExecuteFn = int (*)(const char*, const char*, const char*, int);

    std::unique_ptr<platform::DynamicLibrary> library_;
    InitFn init_ = nullptr;
    ExecuteFn execute_ = nullptr;
    ExecuteFn checked_ = nullptr;
    InitFn uninit_ = nullptr;
};

}  // namespace kz::tool
