// Fuzz target: what a run leaves in the milter's queue, read back in pieces (the header
// block up to its blank line, the body into a digest) and compared with what was written.
// Input: the header block as written, a form feed, the message file after the run. The
// split must be the one of the whole text, the digest the one of its body, wherever the
// reads cut it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "milter_decision.h"
#include "milter_digest.h"
#include "milter_readback.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto sections = kz::fuzz::Sections(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string_view before = sections[0];
    std::string_view after = sections.size() > 1 ? sections[1] : sections[0];
    static const std::string message = (kz::fuzz::ScratchDirectory() / "M.MAI").string();
    static const std::string commands = (kz::fuzz::ScratchDirectory() / "C.MAI").string();
    if (!kz::platform::writeFileAtomic(message, after, false) ||
        !kz::platform::writeFileAtomic(commands, "Recipients=[SMTP:a@example.com]\r\n", false))
        return 0;

    if (after.size() > (1 << 20)) return 0;  // a header block that long is refused
    kz::tool::QueuedAfterRun read = kz::tool::ReadQueuedMessage(message, commands, 1 << 20);
    KZ_FUZZ_CHECK(read.state == kz::tool::QueuedAfterRun::State::Queued);
    std::size_t start = kz::tool::BodyStartOf(after);
    KZ_FUZZ_CHECK(read.bodyOffset == start);
    KZ_FUZZ_CHECK(read.headers == after.substr(0, start));
    KZ_FUZZ_CHECK(read.bodyDigest == kz::tool::DigestOf(after.substr(start)));

    auto decision =
        kz::tool::CompareQueuedMessage(before, kz::tool::DigestOf(""), "Recipients=\r\n", read);
    KZ_FUZZ_CHECK(!decision.gone);
    // A header block read back as it was written asks for no change.
    if (before == read.headers) KZ_FUZZ_CHECK(decision.headers.empty());
    return 0;
}
