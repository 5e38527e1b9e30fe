// Fuzz target: a command file as the envelope reader takes it (lines, key=value fields,
// bracketed addresses). Writing the envelope back and reading it again must give the
// same envelope, with line breaks in the written values turned into blanks, and every
// written line must be one line.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_breaks.h"
#include "evaluate/dkim_verdict.h"
#include "fuzz_check.h"
#include "message/envelope_address.h"
#include "message/envelope_fields.h"
#include "message/envelope_text.h"
#include "whitelist/ipv6_address.h"

namespace {

kz::MessageEnvelope readEnvelope(const std::vector<std::string>& lines) {
    kz::MessageEnvelope envelope;
    for (const std::string& line : lines) kz::ApplyEnvelopeLine(envelope, line);
    return envelope;
}

bool sameEnvelope(const kz::MessageEnvelope& a, const kz::MessageEnvelope& b) {
    return a.recipients == b.recipients && a.sender == b.sender && a.server == b.server &&
           a.clientIp == b.clientIp && a.account == b.account && a.user == b.user &&
           a.status == b.status && a.commandType == b.commandType && a.subject == b.subject &&
           a.timeAcquired == b.timeAcquired && a.authenticationStatus == b.authenticationStatus;
}

// The sender's address as the whitelists and the DKIM check take it, and the client
// address as the whitelists read it: a valid IPv6 address must be the one the C library
// reads.
void checkAddresses(const kz::MessageEnvelope& envelope) {
    std::string address;
    kz::AddressFromEnvelopeValue(envelope.sender, address, kz::TextLimit{256});
    KZ_FUZZ_CHECK(address.size() < 256);
    kz::AddressAfterType(envelope.sender, address, kz::TextLimit{256});
    KZ_FUZZ_CHECK(address.size() < 256);
    kz::evaluate::DkimSenderOf(envelope.sender);

    using kz::whitelist::IPv6Address;
    IPv6Address ip(envelope.clientIp, IPv6Address::Mode::Address);
    if (!ip.valid()) return;
    unsigned char bytes[16];
    KZ_FUZZ_CHECK(::inet_pton(AF_INET6, envelope.clientIp.c_str(), bytes) == 1);
    for (std::size_t i = 0; i < IPv6Address::kGroupCount; ++i) {
        KZ_FUZZ_CHECK(ip.groups()[i].value == (bytes[2 * i] << 8 | bytes[2 * i + 1]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = kz::SplitCommandFileLines(content);
    kz::MessageEnvelope envelope = readEnvelope(lines);

    for (std::string_view rest = envelope.recipients; !rest.empty();) {
        std::size_t end = std::min(rest.find(';'), rest.size());
        std::string address = "unchanged";
        kz::ExtractEnvelopeAddress(rest.substr(0, end), address, kz::TextLimit{512});
        KZ_FUZZ_CHECK(address.size() < 512);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }

    checkAddresses(envelope);

    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (!kz::IsWrittenEnvelopeLine(line)) kept.push_back(line);
    }
    std::string written = kz::FormatCommandFile(envelope, kept);
    std::vector<std::string> again = kz::SplitCommandFileLines(written);
    KZ_FUZZ_CHECK(again.size() == 5 + kept.size());

    kz::MessageEnvelope expected = envelope;
    for (std::string* field :
         {&expected.recipients, &expected.server, &expected.sender, &expected.status}) {
        *field = kz::BlankLineBreaks(*field);
    }
    KZ_FUZZ_CHECK(sameEnvelope(readEnvelope(again), expected));
    return 0;
}
