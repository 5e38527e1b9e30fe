cmake_minimum_required(VERSION 3.20)

# cmake -DPROGRAM=<test program> -DSUITES=<suite,...> -P check_suites.cmake
#
# Fails when the program holds a test suite that is not in SUITES: CTest runs the suites
# it was given, so a suite the configure step did not find would never run.

execute_process(COMMAND ${PROGRAM} --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${status})")
endif()

string(REPLACE "," ";" SUITES "${SUITES}")
# Suite lines start in the first column, test lines are indented. Test lines may show
# parameters with any characters, so only suite lines are split into a list.
string(REGEX MATCHALL "\n  " indented "\n${listing}")
list(LENGTH indented count)
string(REGEX MATCHALL "\n[^ \n][^\n]*" suite_lines "\n${listing}")
set(missing)
foreach(line ${suite_lines})
    if(line MATCHES "^\n([^ ]*/)?([A-Za-z_][A-Za-z0-9_]*)(/[0-9]+)?\\.")
        if(NOT CMAKE_MATCH_2 IN_LIST SUITES AND NOT CMAKE_MATCH_2 IN_LIST missing)
            list(APPEND missing ${CMAKE_MATCH_2})
        endif()
    endif()
endforeach()

if(missing)
    message(FATAL_ERROR "suites without a CTest entry: ${missing}")
endif()
message(STATUS "${count} tests, every suite has an entry")
