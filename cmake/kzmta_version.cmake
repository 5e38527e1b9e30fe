# Writes kzmta's version source with the git description of the checkout (cmake -P, at
# every build). Unchanged text leaves the file alone, so nothing is rebuilt.
execute_process(COMMAND git describe --always --dirty
                WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE KZ_GIT_DESCRIPTION
                OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE described
                ERROR_QUIET)
if(NOT described EQUAL 0 OR KZ_GIT_DESCRIPTION STREQUAL "")
    set(KZ_GIT_DESCRIPTION "not built from git")
endif()
file(CONFIGURE OUTPUT ${OUTPUT} @ONLY CONTENT [[
#include "version.h"

namespace kz::tool {

const char kVersion[] = "@VERSION@";
const char kGitDescription[] = "@KZ_GIT_DESCRIPTION@";

}  // namespace kz::tool
]])
