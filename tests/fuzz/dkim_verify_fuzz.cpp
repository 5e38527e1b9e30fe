// Fuzz target: the DKIM verifier written for Windows, on a message and a key record taken
// from the input (sections separated by form feeds: the message, the TXT record every key
// lookup answers with, and a DNS answer as the Windows lookup reads it). Canonical forms
// never grow a body beyond twice its size, an answer with records has at least one, and the
// verifier ends with a defined code.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "kzdomainkeys/canonical_form.h"
#include "kzdomainkeys/key_record.h"
#include "kzdomainkeys/portable_verifier.h"
#include "kzdomainkeys/signature_fields.h"
#include "kzdomainkeys/signature_plan.h"
#include "platform/txt_message.h"

namespace {

class FixedLookup : public kz::dkim::KeyLookup {
  public:
    explicit FixedLookup(std::string_view record) : record_(record) {}
    kz::dkim::KeyAnswer lookup(const std::string&) override {
        return {kz::dkim::KeyAnswer::Status::found, std::string(record_)};
    }

  private:
    std::string_view record_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kz::dkim;
    const auto sections =
        kz::fuzz::Sections(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view message = sections[0];
    const std::string_view record = sections.size() > 1 ? sections[1] : std::string_view();

    for (const auto form : {Canonicalization::simple, Canonicalization::relaxed})
        KZ_FUZZ_CHECK(CanonicalBody(message, form).size() <= 2 * message.size() + 2);
    KZ_FUZZ_CHECK(WithoutSignatureValue(message).size() <= message.size());
    if (const auto tags = ReadSignatureFields(message, 1800000000))
        KZ_FUZZ_CHECK(!tags->fault || *tags->fault <= kOtherFailure);
    ReadKeyRecord(record, SignatureAlgorithm::rsaSha256);
    if (const auto decoded = DecodeBase64(record)) KZ_FUZZ_CHECK(decoded->size() <= record.size());

    if (sections.size() > 2) {
        const auto answer = kz::platform::txtAnswer(sections[2], 0, true);
        KZ_FUZZ_CHECK(answer.status != kz::platform::DnsAnswer::Status::Records ||
                      !answer.texts.empty());
    }

    FixedLookup keys(record);
    const DkimResult result = VerifyPortable(message, "example.net", keys, {false, 1800000000});
    KZ_FUZZ_CHECK(result.code >= kSignatureRequired && result.code <= kNotChecked);
    KZ_FUZZ_CHECK(result.verified <= kMostVerified);
    return 0;
}
