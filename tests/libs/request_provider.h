#pragma once
// A request-style provider: the reply file is what its execute entry answers.

#include <cstdint>
#include <string>

#include "platform/exports.h"
#include "stub_files.h"

namespace stub {

inline int request(const char* entry, const char* text, int32_t length, char* reply,
                   int32_t* replyLength) {
    noteCall(std::string(entry) + "|" + std::string(text, std::size_t(length)) + "|" +
             std::to_string(replyLength ? *replyLength : -1));
    if (std::string(entry).find("Execute") == std::string::npos) return 1;
    const std::string answer = readAnswer();
    fill(reply, 1024, answer);
    // "<RC>0</RC>" at the start of the reply makes the entry return 0.
    return answer.rfind("<RC>0</RC>", 0) == 0 ? 0 : 1;
}

}  // namespace stub

#define KZ_STUB_REQUEST_ENTRY(NAME)                                              \
    KZ_EXPORT int KZ_STDCALL NAME(const char* text, int32_t length, char* reply, \
                                  int32_t* replyLength) {                        \
        return stub::request(#NAME, text, length, reply, replyLength);           \
    }
