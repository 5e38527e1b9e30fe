// Fuzz target: mbox text as the mail-folder reader splits it, and the envelope taken
// from each message's headers. Messages stay within the size given (whatever the lines'
// lengths), take nothing that is not in the input, and a smaller size cuts a message
// without moving where the next one begins; the envelope holds one line per value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "file_envelope.h"
#include "fuzz_check.h"
#include "mail_folder.h"

namespace {

std::vector<kz::tool::FolderMessage> split(std::string_view text, std::size_t max) {
    std::vector<kz::tool::FolderMessage> messages;
    std::istringstream in{std::string(text)};
    kz::tool::ReadMbox(in, "box", max,
                       [&](kz::tool::FolderMessage&& m) { messages.push_back(std::move(m)); });
    return messages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t small = 1 + std::size_t(data[0]) * 8;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const auto whole = split(text, kz::tool::kMaxFolderMessage);
    const auto cut = split(text, small);
    KZ_FUZZ_CHECK(whole.size() == cut.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        KZ_FUZZ_CHECK(!whole[i].cut && !whole[i].text.empty());
        KZ_FUZZ_CHECK(whole[i].name == cut[i].name);
        KZ_FUZZ_CHECK(cut[i].text.size() <= small);
        // A cut message keeps the line end an uncut one drops before the next separator.
        const std::size_t common = std::min(cut[i].text.size(), whole[i].text.size());
        KZ_FUZZ_CHECK(cut[i].text.compare(0, common, whole[i].text, 0, common) == 0);
        if (!cut[i].cut) KZ_FUZZ_CHECK(cut[i].text == whole[i].text);
        if (whole[i].text.size() > small) KZ_FUZZ_CHECK(cut[i].cut);
        total += whole[i].text.size();

        const std::string queued = kz::tool::QueuedForm(whole[i].text);
        kz::MessageContext context;
        kz::tool::FillFileEnvelope(context, queued, kz::tool::EnvelopeOptions{});
        for (const std::string* value : {&context.sender, &context.recipients, &context.clientIp})
            KZ_FUZZ_CHECK(value->find_first_of("\r\n") == std::string::npos);
        KZ_FUZZ_CHECK(context.sender.size() < kz::MessageEnvelope::kSenderLimit.bufferSize);
    }
    KZ_FUZZ_CHECK(total <= text.size());
    return 0;
}
