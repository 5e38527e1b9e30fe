// The verifier written for Windows against libopendkim, the Linux library's verifier: the
// same result code for every signed fixture and for a corpus of messages signed here by
// libopendkim and then altered, with keys from OpenSSL served by dnsmasq.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "key_lookup_ares.h"
#include "message_verifier.h"
#include "portable_verifier.h"
#include "signature_plan.h"
#include "support/dkim_signing.h"
#include "support/dnsmasq_server.h"

namespace kz::dkim {
namespace {

using test::SignMessage;
using test::SignOptions;

struct Case {
    std::string name;
    std::string message;
    std::string sender = "example.net";
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The first tag of the signature field that starts with `from` replaced: the tag must
// start after a blank or ";", so that base64 text ending in "b=" is not taken for a tag.
std::string replacedTag(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
        if (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t' || text[at - 1] == ';'))
            return text.replace(at, from.size(), to);
    return text;
}

// The message with one more header field right before the body.
std::string withFieldAtEnd(const std::string& message, const std::string& field) {
    const std::size_t end = message.find("\r\n\r\n");
    return message.substr(0, end + 2) + field + "\r\n" + message.substr(end + 2);
}

std::string withBareLf(const std::string& message) {
    std::string out;
    for (char c : message)
        if (c != '\r') out += c;
    return out;
}

// Messages whose bodies and fields exercise the canonical forms.
std::vector<std::pair<std::string, std::string>> baseMessages() {
    const std::string head =
        "From: Carl <carl@example.net>\r\nTo: anna@example.com\r\n"
        "Subject: Quarterly figures\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\n";
    return {
        {"fixture", test::readFile(test::fixture("dkim/message.eml"))},
        {"blanks", head + "\r\nLine one  \r\n\tindented\t line\r\n\r\n \r\n\r\n"},
        {"empty", head + "\r\n"},
        {"crs", head + "\r\nbare\rcr inside\r\n\r\r\nx \r \r\nend\r\n"},
        {"folded",
         "From: \"Carl, Jr.\" <carl@example.net>\r\nSubject: one\r\n\ttwo  three\r\n"
         "subject : again\r\nTo:anna@example.com\r\nX-Mixed:  a \t b \r\n\r\nbody\r\n"},
        {"long", head + "\r\n" + std::string(3000, 'x') + "\r\n" + std::string(70, ' ') + "y\r\n"},
    };
}

// Alterations after signing, each named.
std::vector<std::pair<std::string, std::function<std::string(const std::string&)>>> alterations() {
    return {
        {"unaltered", [](const std::string& m) { return m; }},
        {"body word", [](const std::string& m) { return m + "tail\r\n"; }},
        {"blank lines added", [](const std::string& m) { return m + "\r\n\r\n"; }},
        {"body spaces",
         [](const std::string& m) {
             const std::size_t body = m.find("\r\n\r\n") + 4;
             return m.substr(0, body) + "  " + m.substr(body);
         }},
        {"subject changed",
         [](const std::string& m) { return replaced(m, "Subject: ", "Subject: Re: "); }},
        {"subject spaces",
         [](const std::string& m) { return replaced(m, "Subject: ", "Subject:   "); }},
        {"name case", [](const std::string& m) { return replaced(m, "Subject:", "SUBJECT:"); }},
        {"second subject",
         [](const std::string& m) { return withFieldAtEnd(m, "Subject: forged"); }},
        {"unsigned field", [](const std::string& m) { return withFieldAtEnd(m, "X-Added: yes"); }},
        {"to removed",
         [](const std::string& m) {
             const std::size_t to = m.find("\nTo:") + 1;
             return m.substr(0, to) + m.substr(m.find('\n', to) + 1);
         }},
        {"signature refolded",
         [](const std::string& m) { return replaced(m, "; d=", ";\r\n\t d="); }},
        {"bare lf", withBareLf},
    };
}

class DkimDifferential : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        keys = new std::map<std::string, test::DkimKey>{{"sel", test::MakeRsaKey(2048)},
                                                        {"k1024", test::MakeRsaKey(1024)},
                                                        {"small", test::MakeRsaKey(768)},
                                                        {"edgen", test::MakeEd25519Key()}};
        const std::string rsaKey = keys->at("sel").record.substr(keys->at("sel").record.find("p="));
        const std::map<std::string, std::string> records = {
            {"sel", keys->at("sel").record},
            {"k1024", keys->at("k1024").record},
            {"small", keys->at("small").record},
            {"edgen", keys->at("edgen").record},
            {"revoked", "v=DKIM1; k=rsa; p="},
            {"version", "v=DKIM2; " + rsaKey},
            {"sha1only", "v=DKIM1; h=sha1; " + rsaKey},
            {"hashes", "v=DKIM1; h=md5:sha256; " + rsaKey},
            {"nohash", "v=DKIM1; h=md5; " + rsaKey},
            {"service", "v=DKIM1; s=web; " + rsaKey},
            {"anyservice", "v=DKIM1; s=web:*; " + rsaKey},
            {"keytype", "v=DKIM1; k=dsa; " + rsaKey},
            {"nokey", "v=DKIM1; k=rsa"},
            {"syntax", "v=DKIM1; p"},
            {"corrupt", "v=DKIM1; p=Q"},
            {"garbage", "v=DKIM1; p=AAECAwQFBgcICQ=="},
            {"strict", "v=DKIM1; t=s; " + rsaKey},
            {"testing", "v=DKIM1; t=y; " + rsaKey},
            {"empty", ""},
            {"edforrsa", keys->at("edgen").record},
        };
        std::vector<std::string> options = {"--local=/example.net/", "--local=/example.org/"};
        for (const auto& [selector, record] : records)
            options.push_back(test::TxtRecordOption(selector + "._domainkey.example.net", record));
        options.push_back(test::TxtRecordOption("double._domainkey.example.net", "v=DKIM1; p="));
        options.push_back(
            test::TxtRecordOption("double._domainkey.example.net", keys->at("sel").record));
        options.push_back(
            test::TxtRecordOption("sel._domainkey.example.org", keys->at("sel").record));
        // The fixtures' keys.
        for (const auto& [selector, file] : {std::pair{"ed", "ed25519"}, {"fixture", "fixture"}})
            options.push_back(test::TxtRecordOption(
                selector + std::string("._domainkey.example.net"),
                test::readFile(test::fixture("dkim/" + std::string(file) + ".txt"))));
        dns = new test::DnsmasqServer(test::fixture("dns/blacklist.hosts"), options);
        settings = new DkimSettings;
        settings->servers = providers::ParseServerList(dns->server()).servers;
    }
    static void TearDownTestSuite() {
        delete settings;
        delete dns;
        delete keys;
    }

    static std::string sign(const std::string& message, const std::string& selector,
                            SignOptions options = {}) {
        const std::string keyName = selector == "edforrsa" ? "sel" : selector;
        const std::string key = keys->count(keyName) ? keyName : "sel";
        if (key == "edgen") options.algorithm = DKIM_SIGN_ED25519SHA256;
        return SignMessage(message, keys->at(key), selector, options);
    }

    // Both verifiers on one message; the codes must agree.
    static ResultCode compare(const Case& c) {
        const DkimResult linux = VerifyMessage(*settings, c.message, c.sender);
        KeyResolver resolver(settings->servers, settings->timeout);
        AresKeyLookup keys(resolver);
        PortableOptions options{false, uint64_t(std::time(nullptr))};
        const DkimResult portable = VerifyPortable(c.message, c.sender, keys, options);
        EXPECT_EQ(portable.code, linux.code)
            << c.name << ": libopendkim says " << FormatReply(linux) << ", the portable verifier "
            << FormatReply(portable);
        EXPECT_EQ(portable.domain, linux.domain) << c.name;
        EXPECT_EQ(portable.verified, linux.verified) << c.name;
        return linux.code;
    }

    static inline std::map<std::string, test::DkimKey>* keys = nullptr;
    static inline test::DnsmasqServer* dns = nullptr;
    static inline DkimSettings* settings = nullptr;
};

TEST_F(DkimDifferential, EverySignedFixtureGivesTheSameCode) {
    int signedFixtures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::fixture("dkim"))) {
        if (entry.path().extension() != ".eml") continue;
        const std::string message = test::readFile(entry.path().string());
        if (message.find("DKIM-Signature:") != std::string::npos) ++signedFixtures;
        for (const char* sender : {"example.net", "example.com"})
            compare({entry.path().filename().string(), message, sender});
    }
    EXPECT_GE(signedFixtures, 3);
}

TEST_F(DkimDifferential, SignedAndAlteredMessagesGiveTheSameCode) {
    std::vector<Case> cases;
    const std::pair<dkim_canon_t, dkim_canon_t> forms[] = {{DKIM_CANON_SIMPLE, DKIM_CANON_SIMPLE},
                                                           {DKIM_CANON_RELAXED, DKIM_CANON_RELAXED},
                                                           {DKIM_CANON_SIMPLE, DKIM_CANON_RELAXED},
                                                           {DKIM_CANON_RELAXED, DKIM_CANON_SIMPLE}};
    for (const auto& [baseName, base] : baseMessages()) {
        std::vector<std::pair<std::string, std::string>> signedMessages;
        for (const auto& [headerForm, bodyForm] : forms) {
            SignOptions options;
            options.headerForm = headerForm;
            options.bodyForm = bodyForm;
            signedMessages.emplace_back(
                "rsa c=" + std::to_string(headerForm) + "/" + std::to_string(bodyForm),
                sign(base, "sel", options));
        }
        signedMessages.emplace_back("ed25519", sign(base, "edgen"));
        signedMessages.emplace_back("l=",
                                    sign(base, "sel", test::Signing(DKIM_SIGN_RSASHA256, true)));
        for (const auto& [signing, message] : signedMessages) {
            ASSERT_FALSE(message.empty()) << baseName << " " << signing;
            for (const auto& [alteration, alter] : alterations())
                cases.push_back({baseName + ", " + signing + ", " + alteration, alter(message)});
        }
    }
    std::set<int> codes;
    for (const Case& c : cases) codes.insert(compare(c));
    EXPECT_GE(cases.size(), 200u);
    for (const ResultCode seen : {kPass, kHeaderHashInvalid, kBodyHashInvalid})
        EXPECT_TRUE(codes.count(seen)) << seen;
}

TEST_F(DkimDifferential, TagAndKeyRecordFaultsGiveTheSameCode) {
    const std::string base = test::readFile(test::fixture("dkim/message.eml"));
    const std::string good = sign(base, "sel");
    std::vector<Case> cases;
    const std::pair<const char*, const char*> tagEdits[] = {
        {"v=1", "v=2"},
        {"d=example.net", "d="},
        {"a=rsa-sha256", "a=rsa-sha512"},
        {"c=relaxed/relaxed", "c=fancy"},
        {"c=relaxed/relaxed", "c=relaxed/"},
        {"c=relaxed/relaxed", "c=SIMPLE"},
        {"h=", "h=x:"},
        {"h=", "h=From::"},
        {"d=example.net", "d=example.net; l=abc"},
        {"d=example.net", "d=example.net; l=-1"},
        {"d=example.net", "d=example.net; l=99999"},
        {"d=example.net", "d=example.net; l="},
        {"d=example.net", "d=example.net; q=http"},
        {"d=example.net", "d=example.net; q=dns"},
        {"d=example.net", "d=example.net; q=foo:dns/txt"},
        {"d=example.net", "d=example.net; x=1000"},
        {"t=", "t=9"},
        {"t=", "t=abc"},
        {"t=", "t=+"},
        {"d=example.net", "d=example.net; i=@other.org"},
        {"d=example.net", "d=example.net; i=carl"},
        {"d=example.net", "d=example.net; i=carl@news.example.net"},
        {"d=example.net", "d=example.net; i=carl=40example.net"},
        {"bh=", "bh=x"},
        {"bh=", "bh=; xbh="},
        {"b=", "b=AB; y="},
        {"b=", "b =A"},
        {"d=example.net", "d=example.net; d=example.org"},
        {"d=example.net", "D=example.net"},
        {"s=sel", "s=sel;\xe9=1"},
        {"d=example.net", "d=example.net; z=a|b"},
        {"v=1", "v=1; v=1"},
        {"s=sel", "s="},
        {"a=rsa-sha256", "a=RSA-SHA256"},
        {"a=rsa-sha256", "a=rsa-sha1"},
        {"d=example.net", "d=EXAMPLE.NET"},
        {"s=sel", "s=gone"},
    };
    for (const auto& [from, to] : tagEdits) {
        const std::string edited = replacedTag(good, from, to);
        ASSERT_NE(edited, good) << from;
        cases.push_back({std::string(from) + " -> " + to, edited});
    }
    for (const char* selector :
         {"revoked", "version",  "sha1only", "hashes",  "nohash",  "service", "anyservice",
          "keytype", "nokey",    "syntax",   "corrupt", "garbage", "strict",  "testing",
          "empty",   "edforrsa", "double",   "k1024",   "small",   "gone"})
        cases.push_back({std::string("key ") + selector, sign(base, selector)});
    SignOptions subdomain;
    subdomain.identity = "carl@news.example.net";
    cases.push_back({"t=s with a subdomain i=", sign(base, "strict", subdomain)});
    cases.push_back(
        {"t=s with a subdomain i=, body altered", sign(base, "strict", subdomain) + "x\r\n"});
    SignOptions partial;
    partial.signedBytes = 20;
    cases.push_back({"l= shorter than the body", sign(base, "sel", partial)});
    cases.push_back({"l= shorter, altered after it", sign(base, "sel", partial) + "more\r\n"});
    cases.push_back(
        {"l= beyond the body",
         replacedTag(sign(base, "sel", test::Signing(DKIM_SIGN_RSASHA256, true)), "l=", "l=9")});
    const uint64_t lastWeek = uint64_t(std::time(nullptr)) - 7 * 86400;
    cases.push_back(
        {"expired", sign(base, "sel", test::Signing(DKIM_SIGN_RSASHA256, false, lastWeek, 86400))});
    cases.push_back({"rsa-sha1", sign(base, "sel", test::Signing(DKIM_SIGN_RSASHA1))});
    cases.push_back({"no From", replaced(good, "From: Carl <carl@example.net>\r\n", "")});
    cases.push_back({"From without address", replaced(good, "<carl@example.net>", "nobody")});
    cases.push_back({"empty signature field", "DKIM-Signature: \r\n" + base});
    cases.push_back({"empty signature field above a valid one", "DKIM-Signature: \r\n" + good});
    cases.push_back({"field without colon", replaced(good, "To:", "To")});
    cases.push_back({"foreign sender", good, "example.com"});
    cases.push_back({"parent of the sender", good, "news.example.net"});
    std::set<int> codes;
    for (const Case& c : cases) codes.insert(compare(c));
    for (const ResultCode seen :
         {kPass, kNoSignature, kEmptySignature, kHeaderHashInvalid, kBodyHashInvalid, kNoKey,
          kBadIdentity, kNoDnsEntry, kOtherFailure})
        EXPECT_TRUE(codes.count(seen)) << seen;
}

TEST_F(DkimDifferential, SeveralSignaturesGiveTheSameCodeAndOnlyThreeAreVerified) {
    const std::string base = test::readFile(test::fixture("dkim/message.eml"));
    SignOptions org;
    org.domain = "example.org";
    const std::string two = sign(sign(base, "sel", org), "sel");
    const std::string three = sign(sign(two, "gone"), "k1024");
    const std::string fourOwnLast =
        sign(sign(sign(sign(base, "sel"), "sel", org), "sel", org), "sel", org);
    std::vector<Case> cases = {
        {"two domains", two},
        {"two domains, foreign sender", two, "example.com"},
        {"four, sender's signature below three others", fourOwnLast},
        {"four, one bad, foreign sender", sign(three, "revoked"), "example.com"},
        {"sender's signature altered, other domain's intact", replaced(two, "Quarterly", "Yearly")},
    };
    // A signature that covers the signature fields, with others left unchecked.
    SignOptions all;
    all.domain = "example.org";
    cases.push_back(
        {"signs the others", sign(sign(sign(sign(base, "sel"), "k1024"), "sel"), "sel", all)});
    for (const Case& c : cases) compare(c);
    EXPECT_EQ(VerifyMessage(*settings, fourOwnLast, "example.net").verified, kMostVerified);
}

}  // namespace
}  // namespace kz::dkim
