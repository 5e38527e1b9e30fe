# One CTest entry per GoogleTest suite instead of one per test: a test program starts once
# per suite, which saves the start-up of a sanitized program for every test.
#
# kz_add_suite_tests(<target> SOURCES <files...> [SECONDS_PER_TEST <n>] [ISOLATED <suites...>]
#                    [SLOW <suites...>])
#
# The suites are read from the TEST/TEST_F/TEST_P macros of SOURCES when CMake configures;
# any change to those files configures again. Suites named in ISOLATED share process-wide
# state that one test leaves behind for the next, so each of their tests keeps a process
# of its own. Suites named in SLOW start first when CTest has no timings of its own yet (a
# fresh build folder), so that the run does not end waiting on one long suite. An extra entry, <target>.suites, fails when the program holds a suite that
# the sources did not show, so that no test is left out unnoticed.

set(KZ_CHECK_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_suites.cmake)

function(kz_add_suite_tests target)
    cmake_parse_arguments(ARG "" "SECONDS_PER_TEST" "SOURCES;ISOLATED;SLOW" ${ARGN})
    if(NOT ARG_SECONDS_PER_TEST)
        set(ARG_SECONDS_PER_TEST 300)
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_SOURCES})

    set(id "[A-Za-z_][A-Za-z0-9_]*")
    set(gap "[ \t\r\n]*")
    set(suites)
    foreach(src ${ARG_SOURCES})
        file(READ ${src} text)
        string(REGEX MATCHALL "[^A-Za-z0-9_]TEST(_F|_P)?\\(${gap}${id}${gap},${gap}${id}" found "${text}")
        foreach(match ${found})
            string(REGEX REPLACE "^.TEST(_F|_P)?\\(${gap}(${id})${gap},${gap}(${id})$" "\\2;\\3" pair "${match}")
            list(GET pair 0 suite)
            list(GET pair 1 name)
            if(NOT DEFINED tests_${suite})
                list(APPEND suites ${suite})
            endif()
            list(APPEND tests_${suite} ${name})
        endforeach()
    endforeach()

    foreach(suite ${suites})
        list(LENGTH tests_${suite} count)
        if(suite IN_LIST ARG_ISOLATED)
            foreach(name ${tests_${suite}})
                add_test(NAME ${suite}.${name}
                         COMMAND ${target} --gtest_filter=${suite}.${name}:*/${suite}.${name}/*)
                set_tests_properties(${suite}.${name} PROPERTIES TIMEOUT ${ARG_SECONDS_PER_TEST})
            endforeach()
        else()
            # A suite may run long when it is large, but a hang still ends within the bound.
            math(EXPR timeout "${ARG_SECONDS_PER_TEST} + 30 * (${count} - 1)")
            add_test(NAME ${target}.${suite}
                     COMMAND ${target} --gtest_filter=${suite}.*:*/${suite}.*)
            set_tests_properties(${target}.${suite} PROPERTIES TIMEOUT ${timeout})
            if(suite IN_LIST ARG_SLOW)
                set_tests_properties(${target}.${suite} PROPERTIES COST 1000)
            endif()
        endif()
    endforeach()

    string(REPLACE ";" "," suite_list "${suites}")
    add_test(NAME ${target}.suites
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DSUITES=${suite_list}
                     -P ${KZ_CHECK_SUITES_SCRIPT})
    set_tests_properties(${target}.suites PROPERTIES TIMEOUT 60)
endfunction()
