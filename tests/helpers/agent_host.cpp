// Loads the agent library as the MTA does and filters the named messages:
//   kztest-agent_host [--exit-loaded] LIBRARY [CONNECTOR MESSAGE | FilterCommand TEXT]...
// Prints one "FilterExecute=N" line per message, "FilterCommand=N" per command. With
// --exit-loaded the process exits without unloading the library, as a mail service
// process ends. A connector written "checked:CONNECTOR" is filtered with
// FilterExecuteChecked instead.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

using FilterInitFn = int (*)(int);
using FilterExecuteFn = int (*)(const char*, const char*, const char*, int);
using FilterUnInitFn = int (*)(int);
using FilterCommandFn = int (*)(int, int, const char*);

int main(int argc, char** argv) {
    const bool exitLoaded = argc > 1 && std::strcmp(argv[1], "--exit-loaded") == 0;
    if (exitLoaded) {
        --argc;
        ++argv;
    }
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s LIBRARY [CONNECTOR MESSAGE]...\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto init = reinterpret_cast<FilterInitFn>(dlsym(library, "FilterInit"));
    auto execute = reinterpret_cast<FilterExecuteFn>(dlsym(library, "FilterExecute"));
    auto uninit = reinterpret_cast<FilterUnInitFn>(dlsym(library, "FilterUnInit"));
    auto command = reinterpret_cast<FilterCommandFn>(dlsym(library, "FilterCommand"));
    auto checked = reinterpret_cast<FilterExecuteFn>(dlsym(library, "FilterExecuteChecked"));
    if (!init || !execute || !uninit || !command || !checked) {
        std::fprintf(stderr, "entries missing\n");
        return 1;
    }
    std::printf("FilterInit=%d\n", init(0));
    std::fflush(stdout);
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "FilterCommand") == 0) {
            std::printf("FilterCommand=%d\n", command(0, 0, argv[i + 1]));
            std::fflush(stdout);
            continue;
        }
        if (std::strncmp(argv[i], "checked:", 8) == 0) {
            std::printf("FilterExecuteChecked=%d\n",
                        checked("kztest", argv[i + 1], argv[i] + 8, 0));
            std::fflush(stdout);
            continue;
        }
        int result = execute("kztest", argv[i + 1], argv[i], 0);
        std::printf("FilterExecute=%d\n", result);
        std::fflush(stdout);
    }
    std::printf("FilterUnInit=%d\n", uninit(0));
    std::fflush(stdout);
    if (exitLoaded) {
        std::printf("exiting loaded\n");
        return 0;
    }
    dlclose(library);
    std::printf("unloaded\n");
    return 0;
}
