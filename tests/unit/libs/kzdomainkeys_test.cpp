// The DKIM library's verification against keys made here and served by dnsmasq, and its
// reading of the agent's request and of message files.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "dkim_request.h"
#include "key_lookup_ares.h"
#include "message_parts.h"
#include "message_verifier.h"
#include "portable_verifier.h"
#include "signature_plan.h"
#include "support/dkim_signing.h"
#include "support/dnsmasq_server.h"

namespace kz::dkim {
namespace {

using namespace std::chrono_literals;
using test::SignMessage;
using test::SignOptions;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class DkimVerify : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        keys = new test::TempDir;
        key = test::MakeDkimKey(*keys, "sel");
        ASSERT_FALSE(key.record.empty()) << "opendkim-genkey (scripts/setup.sh installs it)";
        dns = new test::DnsmasqServer(
            test::fixture("dns/blacklist.hosts"),
            {"--local=/example.net/",
             test::TxtRecordOption("sel._domainkey.example.net", key.record),
             test::TxtRecordOption("ed._domainkey.example.net",
                                   test::readFile(test::fixture("dkim/ed25519.txt")))});
        message = test::readFile(test::fixture("dkim/message.eml"));
    }
    static void TearDownTestSuite() {
        delete dns;
        delete keys;
    }

    static DkimResult verify(const std::string& text, const std::string& required = "") {
        DkimSettings settings;
        settings.servers = providers::ParseServerList(dns->server()).servers;
        if (!required.empty()) settings.requiredDomains = {required};
        return VerifyMessage(settings, text, "example.net");
    }
    static std::string signedMessage(const SignOptions& options = {},
                                     const std::string& selector = "sel") {
        return SignMessage(message, key, selector, options);
    }

    static inline test::TempDir* keys = nullptr;
    static inline test::DkimKey key;
    static inline test::DnsmasqServer* dns = nullptr;
    static inline std::string message;
};

TEST_F(DkimVerify, ASignedMessagePassesAndEachAlterationGivesItsCode) {
    const std::string good = signedMessage();
    ASSERT_FALSE(good.empty());
    // The TXT record is longer than one string: the key is read from its parts joined.
    ASSERT_GT(key.record.size(), 255u);
    DkimResult result = verify(good);
    EXPECT_EQ(result.code, kPass) << result.detail;
    EXPECT_EQ(result.domain, "example.net");
    EXPECT_EQ(result.selector, "sel");
    EXPECT_EQ(
        FormatReply(result),
        "<RESULT>1</RESULT><DOMAIN>example.net</DOMAIN><SELECTOR>sel</SELECTOR><DETAIL></DETAIL>");
    // A file stored with bare LF line ends is fed with CR LF.
    std::string bareLf;
    for (char c : good)
        if (c != '\r') bareLf += c;
    EXPECT_EQ(verify(bareLf).code, kPass);

    EXPECT_EQ(verify(replaced(good, "attached", "enclosed")).code, kBodyHashInvalid);
    EXPECT_EQ(verify(replaced(good, "Quarterly", "Yearly")).code, kHeaderHashInvalid);
    EXPECT_EQ(verify(signedMessage({}, "gone")).code, kNoKey);
    // Signed once with an ed25519 key whose public half is ed25519.txt.
    EXPECT_EQ(verify(test::readFile(test::fixture("dkim/ed25519_signed.eml"))).code, kPass);
}

TEST_F(DkimVerify, Sha1ExpiryAndBodiesPartlyLeftUnsignedFail) {
    DkimResult sha1 = verify(signedMessage(test::Signing(DKIM_SIGN_RSASHA1)));
    EXPECT_EQ(sha1.code, kOtherFailure);
    EXPECT_EQ(sha1.detail, "algorithm refused");

    const uint64_t lastWeek = uint64_t(std::time(nullptr)) - 7 * 86400;
    EXPECT_EQ(
        verify(signedMessage(test::Signing(DKIM_SIGN_RSASHA256, false, lastWeek, 86400))).code,
        kOtherFailure);

    const std::string limited = signedMessage(test::Signing(DKIM_SIGN_RSASHA256, true));
    EXPECT_EQ(verify(limited).code, kPass);
    EXPECT_EQ(verify(limited + "Click here: http://example.test/\r\n").code, kBodyHashInvalid);
}

TEST_F(DkimVerify, UnsignedEmptyAndRequiredSignatures) {
    EXPECT_EQ(verify(message).code, kNoSignature);
    EXPECT_EQ(verify("DKIM-Signature: \r\n" + message).code, kEmptySignature);
    EXPECT_EQ(verify(message, "example.net").code, kSignatureRequired);
    // A domain that always signs passes only by a signature of its own.
    DkimSettings settings;
    settings.servers = providers::ParseServerList(dns->server()).servers;
    settings.requiredDomains = {"example.com", "news.example.net"};
    EXPECT_EQ(VerifyMessage(settings, signedMessage(), "example.com").code, kSignatureRequired);
    EXPECT_EQ(VerifyMessage(settings, signedMessage(), "news.example.net").code, kPass);
}

TEST_F(DkimVerify, ASilentServerTimesOutWithinTheTimeout) {
    test::SilentServer silent;
    DkimSettings settings;
    settings.servers =
        providers::ParseServerList("127.0.0.1:" + std::to_string(silent.port())).servers;
    settings.timeout = 400ms;
    // Two signatures: both lookups together wait no longer than the timeout.
    const std::string twice = SignMessage(signedMessage(), key, "sel2");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(VerifyMessage(settings, twice, "example.net").code, kDnsTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// Counts the key lookups the verifier written here makes.
class CountingLookup : public KeyLookup {
  public:
    explicit CountingLookup(const DkimSettings& settings)
        : resolver_(settings.servers, settings.timeout), inner_(resolver_) {}
    KeyAnswer lookup(const std::string& name) override {
        ++lookups;
        return inner_.lookup(name);
    }
    int lookups = 0;

  private:
    KeyResolver resolver_;
    AresKeyLookup inner_;
};

TEST_F(DkimVerify, FiveHundredSignaturesCostNoMoreThanThree) {
    // The sender's valid signature on top, then 499 copies that differ in l= alone, each
    // of which would be a body hash of its own.
    const std::string good = signedMessage(test::Signing(DKIM_SIGN_RSASHA256, true));
    const std::size_t end = good.find("\r\nFrom:") + 2;
    const std::string field = good.substr(0, end);
    const std::size_t length = field.find("l=") + 2;
    std::string message = field;
    for (int copy = 1; copy < 500; ++copy)
        message +=
            field.substr(0, length) + std::to_string(copy) + field.substr(field.find(';', length));
    message += good.substr(end);

    DkimSettings settings;
    settings.servers = providers::ParseServerList(dns->server()).servers;
    const DkimResult linux = VerifyMessage(settings, message, "example.net");
    EXPECT_EQ(linux.code, kPass) << linux.detail;
    EXPECT_EQ(linux.verified, kMostVerified);

    CountingLookup keys(settings);
    const DkimResult portable =
        VerifyPortable(message, "example.net", keys, {false, uint64_t(std::time(nullptr))});
    EXPECT_EQ(portable.code, kPass) << portable.detail;
    EXPECT_EQ(portable.verified, kMostVerified);
    EXPECT_LE(keys.lookups, int(kMostVerified));

    // Without the valid one on top the first checked signature of the sender decides.
    const DkimResult forged = VerifyMessage(settings, message.substr(end), "example.net");
    EXPECT_EQ(forged.code, kHeaderHashInvalid);
    EXPECT_EQ(forged.verified, kMostVerified);
}

TEST(DkimInput, RequestValuesAndMessageLines) {
    const DkimRequest request = ParseDkimRequest(
        "<COMMAND>verify</COMMAND><FILENAME>/q/M1</FILENAME><CMDFILE>/q/C1</CMDFILE>"
        "<DOMAIN> Example.NET. </DOMAIN><SENDER>carl</SENDER>");
    EXPECT_TRUE(request.verify);
    EXPECT_EQ(request.messageFile, "/q/M1");
    EXPECT_EQ(request.domain, "example.net");
    EXPECT_FALSE(ParseDkimRequest("<COMMAND>SIGN</COMMAND>").verify);

    const MessageParts parts = SplitMessage("A: 1\nB: 2\r\n\tmore\n\nbody\nend");
    EXPECT_EQ(parts.headers, (std::vector<std::string>{"A: 1", "B: 2\r\n\tmore"}));
    EXPECT_EQ(parts.body, "body\r\nend\r\n");
    EXPECT_TRUE(IsEmptySignatureHeader("dkim-signature:\r\n\t "));
    EXPECT_FALSE(IsEmptySignatureHeader("DKIM-Signature: v=1"));
}

}  // namespace
}  // namespace kz::dkim
