#pragma once
// The three request-style entries of a provider library whose work is all in its execute
// entry; nothing may be thrown across an entry (a failure is a 0 result).
//
//   KZ_REQUEST_ENTRIES(execute)   // int execute(const char*, int32_t, char*, int32_t*)
//   KZ_REQUEST_ENTRIES_WITH(initialise, execute, cleanUp)   // with void() hooks

#include <cstdint>

#include "platform/exports.h"

#define KZ_REQUEST_ENTRIES_WITH(initialise, execute, cleanUp)                             \
    KZ_EXPORT int KZ_STDCALL KZ_Initialize(const char*, int32_t, char* reply, int32_t*) { \
        if (reply) reply[0] = '\0';                                                       \
        try {                                                                             \
            initialise();                                                                 \
        } catch (...) {                                                                   \
        }                                                                                 \
        return 1;                                                                         \
    }                                                                                     \
    KZ_EXPORT int KZ_STDCALL KZ_Execute(const char* request, int32_t length, char* reply, \
                                        int32_t* replyLength) {                           \
        try {                                                                             \
            return execute(request, length, reply, replyLength);                          \
        } catch (...) {                                                                   \
            return 0;                                                                     \
        }                                                                                 \
    }                                                                                     \
    KZ_EXPORT int KZ_STDCALL KZ_CleanUp(const char*, int32_t, char* reply, int32_t*) {    \
        if (reply) reply[0] = '\0';                                                       \
        try {                                                                             \
            cleanUp();                                                                    \
        } catch (...) {                                                                   \
        }                                                                                 \
        return 1;                                                                         \
    }

#define KZ_REQUEST_ENTRIES(execute) KZ_REQUEST_ENTRIES_WITH([] {}, execute, [] {})
