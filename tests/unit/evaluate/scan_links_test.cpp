// Scans with the URI blacklist and the priority header.

#include <gtest/gtest.h>

#include "dns/dns_library.h"
#include "unit/evaluate/scan_fixture.h"

namespace kz {
namespace {

using filters::PRIORITY;
using filters::URLBL;

class ScanLinksTest : public ScanTest {
  protected:
    void SetUp() override {
        ScanTest::SetUp();
        const std::string app = dir_.file("app");
        std::filesystem::create_directories(app);
        std::filesystem::copy_file(test::testLibPath("kzstub_dns.so"),
                                   app + "/KZWINDNS.so");
        test::writeFile(app + "/KZWINDNS.reply", "127.0.0.7 sbl.test\n");
        setString(config::kProductKey, config::kApplicationDirectory, app);
        dns::StartDnsLibrary();
        setAgentDword(config::kPerformSblRbl, 1);
        const std::string path = dir_.file("config") + "/FILTERS/CRITERIA/SCAN.TAB";
        std::string text = test::readFile(path);
        text.replace(text.find("0\tURLBL"), 1, "1");
        test::writeFile(path, text);
        setCriterionData(URLBL, "");
    }
};

TEST_F(ScanLinksTest, ListedLinksLineByLineOrInTheJoinedBodies) {
    // The plain scan asks for every body line: two lines hold the listed host.
    scan("links.eml", false);
    EXPECT_EQ(met(URLBL), "2 <MF-SBLURI>sbl.test</MF-SBLURI>");
    // The MIME scan asks once, for both bodies joined.
    scan("links.eml", true);
    EXPECT_EQ(hits(URLBL), 1);
}

TEST_F(ScanTest, PriorityMapping) {
    setCriterionData(PRIORITY, "High,Low,Normal");
    struct Case {
        const char* value;
        int hits;
        const char* text;
    };
    const Case cases[] = {{"1 (Highest)", 1, "<MF-W>High</MF-W>"},
                          {"5", 1, "<MF-W>Low</MF-W>"},
                          {"3", 1, "<MF-W>Normal</MF-W>"},
                          {"2", 0, ""},
                          {"", 0, ""}};
    const std::string original = test::readFile(test::fixture("scan/messages/headers.eml"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string text = original;
        text.replace(text.find("1 (Highest)"), 11, c.value);
        test::writeFile(messagesDir() + "/priority.eml", text);
        for (bool mime : {false, true}) {
            scan("priority.eml", mime);
            EXPECT_EQ(hits(PRIORITY), c.hits) << (mime ? "mime" : "plain");
            EXPECT_EQ(match(PRIORITY), c.text);
        }
    }
}

}  // namespace
}  // namespace kz
