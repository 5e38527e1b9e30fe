// kzmta inspect: the headers, parts and bodies of a message as the scan sees them.

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kz::test {
namespace {

RunOutput inspect(const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {binPath("kzmta"), "inspect"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return run(argv);
}

TEST(KzmtaInspect, JsonOfAMultipartMessage) {
    RunOutput out = inspect({fixture("tools/inspect/multipart.eml"), "--json"});
    ASSERT_EQ(out.status, 0) << out.err;
    const std::string& json = out.out;
    // Encoded words and raw 8-bit header bytes decoded to UTF-8; a control character and
    // a byte that is no UTF-8 escaped, so the output stays valid JSON; folded lines
    // unfolded.
    const char* fragments[] = {
        "{\"headers\":[{\"name\":\"From\",\"value\":\"J\xc3\xbcrgen <jurgen@example.org>\"}",
        "{\"name\":\"Subject\",\"value\":\"R\xc3\xa9union d'\xc3\xa9quipe\"}",
        "{\"name\":\"X-Raw\",\"value\":\"caf\xc3\xa9 \\u0001bell\"}",
        "{\"name\":\"X-Folded\",\"value\":\"first part second part\"}",
        // Leaves only: the containers and the preamble are not parts.
        "\"parts\":[{\"contentType\":\"text/plain\",\"charset\":\"iso-8859-1\","
        "\"transferEncoding\":\"quoted-printable\",\"dispositionType\":\"\"",
        "{\"contentType\":\"image/png\",\"charset\":\"\",\"transferEncoding\":\"base64\","
        "\"dispositionType\":\"inline\",\"fileName\":\"\",\"partName\":\"logo.png\","
        "\"displayName\":\"logo.png\",\"contentId\":\"logo@example.org\",\"size\":12}",
        "\"dispositionType\":\"attachment\",\"fileName\":\"r\xc3\xa9sum\xc3\xa9.pdf\"",
        "\"textBody\":\"Caf\xc3\xa9 at noon, \\\"quoted\\\" and a tab\\there.\"",
        "\"htmlBody\":\"<p>Caf\xc3\xa9 at <b>noon</b> \\u00ff</p>\"}\n",
    };
    for (const char* fragment : fragments) {
        EXPECT_NE(json.find(fragment), std::string::npos) << fragment << "\n---\n" << json;
    }
    EXPECT_EQ(json.find("preamble"), std::string::npos);
    EXPECT_EQ(json.find("\"contentType\":\"multipart/"), std::string::npos);
}

TEST(KzmtaInspect, BytesThatAreNoUtf8AreEscapedOneByOne) {
    RunOutput out = inspect({fixture("tools/inspect/invalid-utf8.eml"), "--json"});
    ASSERT_EQ(out.status, 0) << out.err;
    // A valid four-byte character passes; overlong forms, surrogates, values beyond
    // U+10FFFF and a cut sequence become one escape per byte.
    EXPECT_NE(out.out.find("\"htmlBody\":\"<p>ok \xf0\x9f\x98\x80 overlong \\u00c0\\u00af "
                           "surrogate \\u00ed\\u00a0\\u0080 beyond "
                           "\\u00f4\\u0090\\u0080\\u0080 cut \\u00e2\\u0082</p>\\r\\n\"}"),
              std::string::npos)
        << out.out;
}

TEST(KzmtaInspect, TextFormAndErrors) {
    RunOutput text = inspect({fixture("tools/inspect/multipart.eml")});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Parts (4):\n  1. text/plain, charset iso-8859-1"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("HTML body ("), std::string::npos);
    // Control characters of the message never reach the terminal as they are.
    EXPECT_NE(text.out.find("  X-Raw: caf\xc3\xa9 \\x01bell\n"), std::string::npos) << text.out;

    RunOutput missing = inspect({fixture("tools/inspect/none.eml")});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("no message file"), std::string::npos) << missing.err;
    EXPECT_NE(inspect({}).status, 0);
}

}  // namespace
}  // namespace kz::test
