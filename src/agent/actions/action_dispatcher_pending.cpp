#include "actions/action_dispatcher.h"

namespace kz::actions {

// The dispatcher arrives with the actions; until then no filter acts.
int ExecuteFilterActions(MessageContext&, const filters::FilterTable&, filters::CriteriaResults&,
                         std::string&, std::size_t) {
    return 0;
}

}  // namespace kz::actions
