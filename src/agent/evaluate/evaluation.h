#pragma once
// One message measured against one filter table. The scans and the envelope pass offer
// the values they find; each offer goes to the evaluator of the kind's shape, which
// records hits in the run's results. The values themselves are kept only when asked
// for (by the tool that explains a run), so a run pays nothing for them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::evaluate {

using filters::CriteriaResults;
using filters::CriterionSlot;
using filters::CriterionType;
using filters::FilterTable;
using filters::MatchResultBlock;
using enum filters::CriterionType;

// A value a criterion kind was offered, cut for display.
struct OfferedValue {
    CriterionType kind;
    std::string value;
    std::size_t fullSize;  // the value's size before the cut
};

class Evaluation {
  public:
    // Offered values are kept to this many characters each.
    static constexpr std::size_t kOfferedValueLimit = 256;

    Evaluation(const FilterTable& table, CriteriaResults& results, MessageContext* message)
        : table_(table), results_(results), message_(message) {}

    const FilterTable& table() const { return table_; }
    CriteriaResults& results() { return results_; }
    // The message of the run; null only where a test measures values without one.
    MessageContext* message() const { return message_; }

    // A text for a kind measured by words, addresses, envelope lists, countries or
    // attachment names: goes to the evaluator of the kind's shape.
    void offer(CriterionType kind, std::string_view value, std::string_view delimiters);
    // A recipient list from the envelope for an address kind (TOorCC).
    void offerEnvelope(CriterionType kind, std::string_view value, std::string_view delimiters);
    // A part header line whose "filename"/"name" parameter is the attachment name.
    void offerAttachmentLine(std::string_view headerLine, std::string_view delimiters);
    // Names read from one part's headers: one hit per alternative when any matches.
    void offerAttachmentNames(std::span<const std::string> names, std::string_view delimiters);
    // HASANATTACHMENT for a part, named or not.
    void offerPresence(bool named);

    // Whether the values offered are kept (off by default).
    void keepOfferedValues() { keep_ = true; }
    const std::vector<OfferedValue>& offeredValues() const { return offered_; }

  private:
    void note(CriterionType kind, std::string_view value);

    const FilterTable& table_;
    CriteriaResults& results_;
    MessageContext* message_;
    bool keep_ = false;
    std::vector<OfferedValue> offered_;
};

}  // namespace kz::evaluate
