# velmorant_test(NAME n SOURCES ... [LIBS ...] [DEPENDS ...])
#   An executable n.exe, run by CTest as test n, on both architectures (on
#   i686 where 32-bit Wine is emulated, its cases run in emulated_tests).
# Tests find the binaries they load (plug-in, engines) beside themselves in bin/.
# A run passes only when it reaches GoogleTest's closing line: a process that
# Wine ends early, even with exit code 0, fails. A run in which a case skipped
# exits with 77 (tests/support/TestMain.cpp) and shows as skipped.
# Every test sees include/ and the VST records: the fake host, the test
# engines and the staging helpers in tests/support speak them; and the
# plumbing the programs share (common/).
set(VELMORANT_GTEST_PASSED "\\[  PASSED  \\] [0-9]+ test")
# Lines that fail any test whatever its exit code and pass pattern: Wine's
# report of an undefined-behaviour trap (the x86_64-ubsan build; a trap can
# end a program with exit code 0, or end a child process whose parent carries
# on), and scripts/heap-run's verdict on a heap error or a crash (the
# x86_64-heap run). Every test sets FAIL_REGULAR_EXPRESSION to include them.
set(VELMORANT_TEST_FAILURES "Unhandled illegal instruction|heap check: FAILED")

set(VELMORANT_JOINED_TESTS emulated_tests)

add_library(velmorant_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/support/TestMain.cpp)
target_link_libraries(velmorant_test_main PUBLIC GTest::gtest)

function(velmorant_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;DEPENDS" ${ARGN})
    foreach(source IN LISTS T_SOURCES)
        if(source MATCHES "Tests\\.cpp$")
            message(FATAL_ERROR "${source}: a test file is named <Subject>Test.cpp")
        endif()
    endforeach()
    # The sources are compiled once, into an object library that the suite's
    # executable links and, on i686, the joined one (velmorant_joined_tests).
    add_library(${T_NAME}_objects OBJECT ${T_SOURCES})
    target_link_libraries(${T_NAME}_objects PUBLIC ${T_LIBS} velmorant_api velmorant_vst_abi velmorant_common
                          velmorant_test_main)
    add_executable(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_NAME}_objects)
    velmorant_runtime(${T_NAME})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set_property(GLOBAL APPEND PROPERTY VELMORANT_SUITES ${T_NAME})
        # At the end of this folder, once every property of the entry is set
        # (EVAL: a deferred call's arguments are read when it runs).
        cmake_language(EVAL CODE "cmake_language(DEFER CALL _velmorant_joined_suite [[${T_NAME}]])")
    endif()
    if(T_DEPENDS)
        add_dependencies(${T_NAME} ${T_DEPENDS})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1
             WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 1200 SKIP_RETURN_CODE 77
                         PASS_REGULAR_EXPRESSION "${VELMORANT_GTEST_PASSED}"
                         FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|${VELMORANT_TEST_FAILURES}")
endfunction()

# velmorant_display_test(NAME TARGET FILTER)
#   The cases of TARGET that need windows, again in the prefix with Wine's null
#   display driver (VELMORANT_DISPLAY=null), where they must run rather than
#   skip (--skips-fail). Under emulated 32-bit Wine scripts/wine-run answers
#   77 without starting them. The test TARGET itself leaves these cases out:
#   without a display they would only skip.
function(velmorant_display_test name target filter)
    get_property(display_cases TARGET ${target} PROPERTY VELMORANT_DISPLAY_CASES)
    list(APPEND display_cases ${filter})
    set_property(TARGET ${target} PROPERTY VELMORANT_DISPLAY_CASES ${display_cases})
    list(JOIN display_cases ":" left_out)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "VELMORANT_LEFT_OUT=${left_out}")
    add_test(NAME ${name} COMMAND ${target} --gtest_brief=1 --gtest_filter=${filter} --skips-fail
             WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    # The display tests share one prefix, where one of them switches a setting.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT VELMORANT_DISPLAY=null TIMEOUT 600
                         SKIP_RETURN_CODE 77 RESOURCE_LOCK display-prefix
                         PASS_REGULAR_EXPRESSION "${VELMORANT_GTEST_PASSED}"
                         FAIL_REGULAR_EXPRESSION "\\[  (FAILED|SKIPPED) \\]|${VELMORANT_TEST_FAILURES}")
endfunction()

# The environment of a suite's entry, for velmorant_joined_tests (which
# cannot read a test property of another folder); the entry itself answers 77
# under emulation, where its cases run in the joined executable.
function(_velmorant_joined_suite suite)
    get_test_property(${suite} ENVIRONMENT environment)
    if(environment)
        set_property(GLOBAL PROPERTY VELMORANT_SUITE_ENVIRONMENT_${suite} "${environment}")
    endif()
    set_property(TEST ${suite} APPEND PROPERTY ENVIRONMENT
                 "VELMORANT_NOT_EMULATED=its cases run in ${VELMORANT_JOINED_TESTS}, one process for every suite")
endfunction()

# velmorant_joined_tests()
#   i686: every suite of velmorant_test joined in one executable NAME.exe
#   (NAME: VELMORANT_JOINED_TESTS), run by CTest as test NAME only where
#   32-bit Wine runs under qemu, where each process start costs about a minute: there the suites' own entries answer
#   77 without a start (VELMORANT_NOT_EMULATED), and NAME runs their cases in
#   one process, with the environment the suites' entries set and every case
#   they leave out left out. Natively NAME answers 77 (VELMORANT_ONLY_EMULATED)
#   and every suite runs on its own. Called after every suite is defined.
function(velmorant_joined_tests)
    set(name ${VELMORANT_JOINED_TESTS})
    get_property(suites GLOBAL PROPERTY VELMORANT_SUITES)
    add_executable(${name})
    velmorant_runtime(${name})
    set(environment)
    set(left_out)
    foreach(suite IN LISTS suites)
        target_link_libraries(${name} PRIVATE ${suite}_objects)
        # The suite itself first: what its build stages beside it (POST_BUILD
        # copies, the engines of DEPENDS) is then there for NAME too.
        add_dependencies(${name} ${suite})
        get_property(suite_environment GLOBAL PROPERTY VELMORANT_SUITE_ENVIRONMENT_${suite})
        foreach(entry IN LISTS suite_environment)
            string(REGEX MATCH "^[^=]*" variable "${entry}")
            if(variable STREQUAL "VELMORANT_LEFT_OUT")
                string(REGEX REPLACE "^[^=]*=" "" patterns "${entry}")
                list(APPEND left_out ${patterns})
                continue()
            endif()
            foreach(other IN LISTS environment)
                if(other MATCHES "^${variable}=" AND NOT other STREQUAL entry)
                    message(FATAL_ERROR "${suite} sets ${entry}, another suite ${other}: they cannot share ${name}")
                endif()
            endforeach()
            list(APPEND environment "${entry}")
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES environment)
    if(left_out)
        list(JOIN left_out ":" patterns)
        list(APPEND environment "VELMORANT_LEFT_OUT=${patterns}")
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    # COST: the longest test under emulation, started first.
    set_tests_properties(${name} PROPERTIES TIMEOUT 3600 SKIP_RETURN_CODE 77 COST 1000
                         ENVIRONMENT "${environment};VELMORANT_ONLY_EMULATED=the suites run on their own"
                         PASS_REGULAR_EXPRESSION "${VELMORANT_GTEST_PASSED}"
                         FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|${VELMORANT_TEST_FAILURES}")
endfunction()
