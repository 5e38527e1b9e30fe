#include "agent_library.h"

#include <stdexcept>

#include "base/default_paths.h"
#include "platform/files.h"
#include "platform/process_info.h"

namespace kz::tool {

AgentLibrary::AgentLibrary(const std::string& path) {
    std::string why;
    library_ = platform::DynamicLibrary::load(path, &why);
    if (!library_) throw std::runtime_error("cannot load the agent library " + path + ": " + why);
    init_ = library_->entry<InitFn>("FilterInit");
    execute_ = library_->entry<ExecuteFn>("FilterExecute");
    checked_ = library_->entry<ExecuteFn>("FilterExecuteChecked");
    uninit_ = library_->entry<InitFn>("FilterUnInit");
    if (!init_ || !execute_ || !uninit_) {
        throw std::runtime_error(path +
                                 " does not export FilterInit, FilterExecute and FilterUnInit");
    }
}

AgentLibrary::~AgentLibrary() = default;

std::string AgentLibrary::defaultPath() {
#ifndef _WIN32
    if (*kDefaultLibraryDirectory != '\0')
        return platform::joinPath(kDefaultLibraryDirectory, "libkzmtafilter.so");
#endif
    std::string exe = platform::executablePath();
#ifdef _WIN32
    // Beside kzmta.exe, where the Windows build puts it.
    return platform::joinPath(exe.substr(0, exe.find_last_of("\\/")), "KZMTAFILTER.DLL");
#endif
    std::string dir = exe.substr(0, exe.rfind('/'));
    std::string buildDir = dir.substr(0, dir.rfind('/'));
    return platform::joinPath(platform::joinPath(buildDir, "lib"), "libkzmtafilter.so");
}

}  // namespace kz::tool
