// The antivirus scanner: the reply file's first line is the verdict, the rest its text.
#include <string>

#include "platform/exports.h"
#include "stub_files.h"

KZ_EXPORT int KZ_STDCALL ProviderExecute(const char* agent, const char* messageId,
                                         const char* connector, char* resultText) {
    stub::noteCall(std::string("ProviderExecute|") + agent + "|" + messageId + "|" + connector);
    const std::string answer = stub::readAnswer();
    const std::size_t newline = answer.find('\n');
    if (newline != std::string::npos) stub::fill(resultText, 1024, answer.substr(newline + 1));
    return answer.rfind("1", 0) == 0 ? 1 : 0;
}
