// The DNS library with its logging hook-up.
#include "dns_stub.h"

KZ_EXPORT int KZ_STDCALL SetLoggingFunction(char* logFileName, stub::LogFunction callback,
                                            void* logStream, void* logLock) {
    stub::noteCall(std::string("SetLoggingFunction|") + (logFileName ? "name" : "-") + "|" +
                   (logStream ? "stream" : "-") + "|" + (logLock ? "lock" : "-"));
    stub::gLog = callback;
    return 1;
}

KZ_STUB_DNS_ENTRIES
