#include "demo_files.h"

#include <map>

#include "filters/criterion_type.h"

namespace kz::tool {

namespace {

using filters::CriterionType;

struct Criterion {
    std::string data;  // alternatives separated by commas
    int threshold = 1;
};

// One line per criterion kind, in kind order: enabled, keyword, data, -, -, threshold.
std::string CriteriaTable(const std::map<CriterionType, Criterion>& enabled) {
    std::string text;
    for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
        auto it = enabled.find(CriterionType(kind));
        std::string keyword(filters::KindOf(kind).keyword);
        if (it == enabled.end()) {
            text += "0\t" + keyword + "\t\t\t\t1\r\n";
        } else {
            text += "1\t" + keyword + "\t" + it->second.data + "\t\t\t" +
                    std::to_string(it->second.threshold) + "\r\n";
        }
    }
    return text;
}

// status, -, data, keyword, description
std::string Action(const std::string& keyword, const std::string& data,
                   const std::string& description = "", bool enabled = true) {
    return std::string(enabled ? "1" : "0") + "\t\t" + data + "\t" + keyword + "\t" + description +
           "\r\n";
}

std::string Mail(const std::string& headers, const std::string& body) {
    return headers + "\r\n" + body;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> DemoConfigurationFiles() {
    using C = CriterionType;
    return {
        {"FILTERS/FILTER.TAB",
         "Trusted relay\t1\tTRUSTED\t\tMail from the internal relay is not filtered\t\t0\r\n"
         "Spam words\t1\tSPAMWORDS\t\tSubjects and bodies with spam words\t\t0\r\n"
         "Executable attachments\t1\tEXECUTABLES\t\tPrograms are never delivered\t\t0\r\n"
         "Large messages\t1\tLARGE\t\tMessages over 200 KB are marked\t\t0\r\n"
         "Old newsletter rule\t0\tNEWSLETTER\t\tDisabled: kept for reference\t\t0\r\n"},
        {"FILTERS/CRITERIA/TRUSTED.TAB", CriteriaTable({{C::IPADDRESS, {"10.0.0.5"}}})},
        {"FILTERS/CRITERIA/SPAMWORDS.TAB",
         CriteriaTable({{C::SUBJECT, {"<REFERENCE><FILE>SPAMWORDS.TXT</FILE></REFERENCE>"}},
                        {C::BODY, {"<REFERENCE><FILE>SPAMWORDS.TXT</FILE></REFERENCE>", 2}}})},
        {"FILTERS/CRITERIA/EXECUTABLES.TAB",
         CriteriaTable({{C::HASATTACHMENTSMATCHING, {"*.exe,*.scr,*.bat,*.js"}}})},
        {"FILTERS/CRITERIA/LARGE.TAB", CriteriaTable({{C::SIZE, {"200000"}}})},
        {"FILTERS/CRITERIA/NEWSLETTER.TAB", CriteriaTable({{C::FROM, {"news@*"}}})},
        {"FILTERS/PATTERNS/SPAMWORDS.TXT",
         "viagra\r\nlottery\r\nwinner\r\nfree money\r\nclaim your prize\r\nunsubscribe\r\n"},
        {"FILTERS/ACTIONS/TRUSTED.TAB", Action("STOP_PROCESSING", "")},
        {"FILTERS/ACTIONS/SPAMWORDS.TAB",
         Action("ADD_SUBJECT_PREFIX", "[SPAM] ") +
             Action("ADD_HEADER", "X-Spam-Reason|[KZ_CRITERIA] %SENDERADDRESS%") +
             Action("COPY", "\\Junk") + Action("DELETE", "", "", false)},
        {"FILTERS/ACTIONS/EXECUTABLES.TAB",
         Action("COPY_TO_QUARANTINE", "") +
             Action("NOTIFY_SENDER", "BLOCKED", "Executable attachments are not accepted") +
             Action("DELETE", "")},
        {"FILTERS/ACTIONS/LARGE.TAB", Action("ADD_SUBJECT_PREFIX", "[LARGE] ") +
                                          Action("ADD_HEADER", "X-Size-Check|[KZ_SZ] bytes")},
        {"FILTERS/ACTIONS/NEWSLETTER.TAB", Action("DELETE", "")},
        {"FILTERS/Templates/BLOCKED.TXT",
         "From: postmaster@example.com\r\nTo: [KZ_SENDER]\r\nSubject: Your message was not "
         "delivered\r\n\r\n"
         "Your message to our users was stopped by the mail filter.\r\n"
         "Reason: [KZ_CRITERIA] matched [KZ_MF-W]\r\n\r\n[KZ_HEADERS]\r\n"},
    };
}

std::vector<DemoMail> DemoMails() {
    const std::string date = "Date: Sun, 6 Dec 2026 09:15:00 +0000\r\n";
    const std::string to = "To: Alice Example <alice@example.com>\r\n";
    std::string bigBody;
    for (int i = 0; i < 4000; ++i)
        bigBody += "Quarterly figures, line " + std::to_string(i) + " of the attached report.\r\n";
    std::string attachment =
        "TVqQAAMAAAAEAAAA//"
        "8AALgAAAAAAAAAQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAgAAAAA4fug4AtAnNIbgBTM0hVGhp"
        "cyBwcm9ncmFtIGNhbm5vdCBiZSBydW4gaW4gRE9TIG1vZGUuDQ0KJAAAAAAAAAA=\r\n";
    auto multipart = [&](const std::string& from, const std::string& subject,
                         const std::string& text, const std::string& fileName) {
        return Mail(
            "From: " + from + "\r\n" + to + "Subject: " + subject + "\r\n" + date +
                "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; "
                "boundary=\"=_demo_boundary\"\r\n",
            "This is a multi-part message in MIME format.\r\n\r\n--=_demo_boundary\r\n"
            "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n" +
                text +
                "\r\n\r\n--=_demo_boundary\r\nContent-Type: application/octet-stream; name=\"" +
                fileName +
                "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
                "filename=\"" +
                fileName + "\"\r\n\r\n" + attachment + "\r\n--=_demo_boundary--\r\n");
    };
    auto plain = [&](const std::string& from, const std::string& subject, const std::string& body) {
        return Mail("From: " + from + "\r\n" + to + "Subject: " + subject + "\r\n" + date +
                        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n",
                    body);
    };
    return {
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A01.MAI", "clean note from a colleague",
         "[SMTP:bob@partner.org]", "[SMTP:alice@example.com]", "192.0.2.10",
         plain("Bob Partner <bob@partner.org>", "Lunch on Thursday?",
               "Hi Alice,\r\n\r\nAre we still on for Thursday?\r\n\r\nBob\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A02.MAI", "spam words in the subject",
         "[SMTP:promo@lucky-draw.example]", "[SMTP:alice@example.com]", "198.51.100.23",
         plain("Lucky Draw <promo@lucky-draw.example>", "You are a lottery winner",
               "Dear friend,\r\n\r\nClaim before Friday.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A03.MAI", "spam words in the body (twice)",
         "[SMTP:deals@cheap.example]", "[SMTP:alice@example.com]", "198.51.100.40",
         plain("Deals <deals@cheap.example>", "Special offer",
               "Get free money now!\r\nClaim your prize today.\r\nTo unsubscribe reply STOP.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A04.MAI", "invoice with an .exe attachment",
         "[SMTP:billing@invoices.example]", "[SMTP:alice@example.com]", "203.0.113.7",
         multipart("Billing <billing@invoices.example>", "Invoice 4711",
                   "Please see the attached invoice.", "invoice.exe")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A05.MAI", "report with a PDF attachment",
         "[SMTP:carol@partner.org]", "[SMTP:alice@example.com]", "192.0.2.11",
         multipart("Carol Partner <carol@partner.org>", "Quarterly report",
                   "The report is attached.", "report.pdf")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A06.MAI", "large message (over 200 KB)",
         "[SMTP:dave@partner.org]", "[SMTP:alice@example.com]", "192.0.2.12",
         plain("Dave Partner <dave@partner.org>", "Full figures", bigBody)},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A07.MAI", "spam from the trusted internal relay",
         "[SMTP:monitor@example.com]", "[SMTP:alice@example.com]", "10.0.0.5",
         plain("Monitor <monitor@example.com>", "Lottery winner report",
               "Nightly report of the lottery filter tests.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A08.MAI", "screensaver attachment",
         "[SMTP:friend@social.example]", "[SMTP:alice@example.com]", "203.0.113.9",
         multipart("A Friend <friend@social.example>", "Funny screensaver", "Look at this!",
                   "funny.scr")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A09.MAI", "encoded-word spam subject",
         "[SMTP:win@prizes.example]", "[SMTP:alice@example.com]", "198.51.100.77",
         // Only the decoded subject holds the word "winner" between blanks.
         plain("Prizes <win@prizes.example>",
               "=?UTF-8?Q?F=C3=A9licitations,_winner_of_our_prize_draw?=",
               "You have been selected.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A10.MAI", "newsletter (its rule is disabled)",
         "[SMTP:news@partner.org]", "[SMTP:alice@example.com]", "192.0.2.13",
         plain("Partner News <news@partner.org>", "December newsletter",
               "Our news of the month.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A11.MAI",
         "forged loop header (X-KZFilter: 1, no seal): filtered anyway",
         "[SMTP:postmaster@example.com]", "[SMTP:alice@example.com]", "127.0.0.1",
         Mail("From: postmaster@example.com\r\n" + to +
                  "Subject: Lottery winner notice\r\nX-KZFilter: 1\r\n" + date,
              "This message only claims to come from the filter.\r\n")},
        {"3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A12.MAI", "clean reply in a thread",
         "[SMTP:erin@partner.org]", "[SMTP:alice@example.com];[SMTP:bob@partner.org]", "192.0.2.14",
         plain("Erin Partner <erin@partner.org>", "Re: Lunch on Thursday?", "Count me in.\r\n")},
    };
}

}  // namespace kz::tool
