#include <gtest/gtest.h>

#include <string>

#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/transfer_decode.h"

namespace kz {
namespace {

struct DecodeCase {
    const char* encoding;
    std::string in;
    std::string out;
};

TEST(TransferDecode, DecodesOrLeavesContentUnchanged) {
    const DecodeCase cases[] = {
        {"base64", "SGVsbG8sIHdvcmxk", "Hello, world"},
        {"BASE64 ", "SGVs\r\n bG8s\tIHdv cmxk\r\n", "Hello, world"},
        {"base64", "SGk=", "Hi"},
        {"base64", "SA==\r\n", "H"},
        {"base64", "SGVsbG8*", "SGVsbG8*"},  // character outside the alphabet
        {"base64", "SGVsbG8", "SGVsbG8"},    // group cut short
        {"base64", "SA=A", "SA=A"},          // padding in the wrong place
        {"base64", "S===", "S==="},          // too much padding
        {"base64", "SA==SA==", "SA==SA=="},  // text after the padding
        {"base64", "SB==", "SB=="},          // unused bits not zero
        {"base64", "", ""},
        {"base64", " \r\n", " \r\n"},  // yields nothing: unchanged
        {"quoted-printable", "a=\r\nb=\nc", "abc"},
        {"Quoted-Printable", "=C3=a9=3D", "\xC3\xA9="},
        {"quoted-printable", "a=Gb", "aGb"},  // stray "=": dropped, next kept
        {"quoted-printable", "a==41", "a=41"},
        {"quoted-printable", "end=", "end="},  // final "=" stays
        {"quoted-printable", "x=\rY", "x\rY"},
        {"7bit", "=41 SGk=", "=41 SGk="},
        {"binary", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"", "SGk=", "SGk="},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(TransferDecode(c.in, c.encoding), c.out) << c.encoding << " " << c.in;
    }
}

struct WordsCase {
    std::string in;
    std::string out;
};

TEST(DecodeEncodedWords, DecodesWellFormedWordsToUtf8) {
    const WordsCase cases[] = {
        {"plain ascii", "plain ascii"},
        {"=?UTF-8?B?Q2Fmw6k=?=", "Caf\xC3\xA9"},
        {"=?utf-8?q?Caf=C3=A9_au_lait?=", "Caf\xC3\xA9 au lait"},
        {"=?iso-8859-1?Q?caf=E9?= and =?ISO-8859-1?b?Y2Fm6Q==?=", "caf\xC3\xA9 and caf\xC3\xA9"},
        {"=?utf-8?Q?a?= =?utf-8?Q?b?=", "a b"},  // white space between words stays
        {"=?windows-1252?Q?=80_5?=", "\xE2\x82\xAC 5"},
        {"=?utf-8*en?Q?Caf=C3=A9?=", "Caf\xC3\xA9"},  // language suffix
        {"=?UTF-8?Q?"
         "?=",
         ""},
        {"caf\xC3\xA9 =?utf-8?Q?ok?=", "caf\xC3\xA9 ok"},  // valid UTF-8 outside words kept
        {"caf\xE9 =?utf-8?Q?ok?=", "caf\xC3\xA9 ok"},      // other bytes read as Windows-1252
        {"=?x-unknown?Q?caf=E9?=", "caf\xC3\xA9"},
        {"=?utf-8?Q?bad=E9?=", "bad\xC3\xA9"},  // not UTF-8 after all
        {"=?utf-8?B?not*base64?=", "not*base64"},
    };
    for (const WordsCase& c : cases) EXPECT_EQ(DecodeEncodedWords(c.in), c.out) << c.in;
}

TEST(DecodeEncodedWords, KeepsMalformedWordsAsText) {
    const WordsCase cases[] = {
        {"=?", "=?"},
        {"price =? ok", "price =? ok"},
        {"=?utf-8?Q?never closed", "=?utf-8?Q?never closed"},
        {"=?utf-8?Qnot?=", "=?utf-8?Qnot?="},
        {"=?utf-8", "=?utf-8"},
        {"=??Q?x?=", "=??Q?x?="},
        {"=?utf 8?Q?x?=", "=?utf 8?Q?x?="},
        {"=?=?utf-8?Q?a?=", "=?a"},
        {"a=?b?c", "a=?b?c"},
    };
    for (const WordsCase& c : cases) EXPECT_EQ(DecodeEncodedWords(c.in), c.out) << c.in;
}

TEST(DecodeEncodedWords, ConvertsToAnotherTargetCharset) {
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?Q?caf=C3=A9?=", "iso-8859-1"), "caf\xE9");
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?Q?caf=C3=A9?=", "x-unknown"), "caf\xC3\xA9");
}

TEST(DecodeEncodedWords, HandlesLongHostileTextInOnePass) {
    std::string openers;
    for (int i = 0; i < 200000; ++i) openers += "=?a?Q";
    EXPECT_EQ(DecodeEncodedWords(openers), openers);
    std::string unclosed;
    for (int i = 0; i < 100000; ++i) unclosed += "=?utf-8?Q?x ";
    EXPECT_EQ(DecodeEncodedWords(unclosed), unclosed);
}

TEST(EncodeQText, EscapesSpecialsAndKeepsBlanks) {
    struct Case {
        std::string in;
        std::size_t limit;
        std::size_t size;
        int result;
        std::string out;
    } cases[] = {
        {"a =\xE9", 2048, 2047, 1, "a =3D=E9"},
        {"_?\t~\x7F", 2048, 2047, 1, "=5F=3F=09~=7F"},
        {"abcdef", 3, 0, 1, "abc"},  // input limit
        {"abc", 2048, 3, 0, "ab"},   // a buffer of 3 holds two characters
        {"ab", 2048, 3, 1, "ab"},
        {"a=", 2048, 4, 0, "a"},  // an escape needs three places
        {"a=", 2048, 5, 1, "a=3D"},
        {std::string("\0x", 2), 2048, 0, 1, "=00x"},
        {"", 2048, 1, 1, ""},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(EncodeQText(c.in, c.limit, out, c.size), c.result) << c.in;
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(PercentDecode, DecodesHexAndDecimalEscapes) {
    const WordsCase cases[] = {
        {"%41%62c", "Abc"},
        {"na%C3%afve", "na\xC3\xAFve"},
        {"%#233;t%#233;", "\xE9t\xE9"},
        {"%#65x", "Ax"},
        {"%zz%4", "%zz%4"},
        {"100%", "100%"},
        {"%#;", "%#;"},
        {"%#999;", "%#999;"},
        {"%#00000000000000000000065", "A"},
        {"%", "%"},
    };
    for (const WordsCase& c : cases) EXPECT_EQ(PercentDecode(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kz
