// Fuzz target: a notification template with its tokens, expanded with a match
// description and the filtered message's header lines. Sections, split at form feeds:
// template, match description, header lines, filter description, action description.
// An expanded line that fitted its line before still fits, and expansion never adds or
// loses a line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "actions/notification_lines.h"
#include "actions/notification_template.h"
#include "actions/notification_tokens.h"
#include "base/line_breaks.h"
#include "filters/result_tokens.h"
#include "fuzz_check.h"

namespace {

constexpr kz::TextLimit kLineLimit{1024};

std::string_view section(const std::vector<std::string_view>& sections, std::size_t n) {
    return n < sections.size() ? sections[n] : std::string_view();
}

std::size_t countLines(std::string_view text) {
    return kz::actions::SplitTextLines(text).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string_view> sections =
        kz::fuzz::Sections(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string_view templateText = section(sections, 0);
    // The agent blanks the line breaks of match texts, which come from the message.
    std::string description = kz::BlankLineBreaks(section(sections, 1));
    std::vector<std::string> headerLines = kz::actions::SplitTextLines(section(sections, 2));
    kz::actions::NamedTokens tokens{
        {"[KZ_FILTERNAME]", kz::BlankLineBreaks(section(sections, 3))},
        {"[KZ_ACTIONDESC]", kz::BlankLineBreaks(section(sections, 4))},
        {"[KZ_MID]", "<0123456789ABCDEF@example.com>"},
    };

    std::size_t expected = 0;
    for (std::string line : kz::actions::SplitTextLines(templateText)) {
        if (line.find("[KZ_HEADERS]") != std::string::npos) {
            expected += headerLines.size();
            continue;
        }
        ++expected;
        bool fitted = kLineLimit.fits(line);
        kz::actions::ExpandNotificationTokens(line, tokens, description, kLineLimit);
        KZ_FUZZ_CHECK(!fitted || kLineLimit.fits(line));
        KZ_FUZZ_CHECK(line.find('\n') == std::string::npos);
    }
    std::string text =
        kz::actions::TemplateNotification("0123456789ABCDEF0123456789ABCDEF.MAI", templateText,
                                          headerLines, tokens, description, kLineLimit);
    KZ_FUZZ_CHECK(!text.empty() && text.back() == '\n');
    // Plus the loop header, unless the template has one.
    std::size_t lines = countLines(text);
    KZ_FUZZ_CHECK(lines == expected || lines == expected + 1);

    std::string value(templateText.substr(0, 2047));
    kz::filters::ExpandResultTokens(description, value, kz::TextLimit{2048}, 0);
    KZ_FUZZ_CHECK(value.size() < 2048);
    return 0;
}
