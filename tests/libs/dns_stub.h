#pragma once
// The DNS library: "<base>.reply" holds one line per listed host, "host list-name"; the
// address 127.0.0.66 makes the lookup throw.

#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/exports.h"
#include "stub_files.h"

namespace stub {

using LogFunction = int(KZ_STDCALL*)(uint32_t, uint32_t, uint32_t, uint32_t, const char*);
inline LogFunction gLog = nullptr;

inline int lookup(const char* host, const char* address, char* response, char* listName) {
    noteCall(std::string("HasORBDBEntry|") + host + "|" + address);
    if (std::string(address) == "127.0.0.66") throw std::runtime_error("resolver gone");
    std::istringstream lines(readAnswer());
    std::string listedHost, list;
    while (lines >> listedHost >> list) {
        if (listedHost != host) continue;
        fill(response, 256, "127.0.0.2");
        fill(listName, 256, list);
        return 1;
    }
    return 0;
}

inline int initialize(const char* servers) {
    noteCall(std::string("DNSInitialize|") + servers);
    if (gLog) {
        // One line the agent passes on, one above its level that it drops.
        noteCall("log|" + std::to_string(gLog(0, 0, 0, 1, "DNS library started\n")) + "|" +
                 std::to_string(gLog(0, 0, 0, 9, "DNS library detail\n")));
    }
    return 7;
}

}  // namespace stub

#define KZ_STUB_DNS_ENTRIES                                                                       \
    KZ_EXPORT int KZ_STDCALL DNSInitialize(const char* servers) {                                 \
        return stub::initialize(servers);                                                         \
    }                                                                                             \
    KZ_EXPORT int KZ_STDCALL HasORBDBEntry(const char* host, const char* address, char* response, \
                                           char* listName) {                                      \
        return stub::lookup(host, address, response, listName);                                   \
    }
