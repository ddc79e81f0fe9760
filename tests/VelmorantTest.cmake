# velmorant_test(NAME n SOURCES ... [LIBS ...] [DEPENDS ...])
#   An executable n.exe, run by CTest as test n, on both architectures.
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

add_library(velmorant_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/support/TestMain.cpp)
target_link_libraries(velmorant_test_main PUBLIC GTest::gtest)

function(velmorant_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;DEPENDS" ${ARGN})
    foreach(source IN LISTS T_SOURCES)
        if(source MATCHES "Tests\\.cpp$")
            message(FATAL_ERROR "${source}: a test file is named <Subject>Test.cpp")
        endif()
    endforeach()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} velmorant_api velmorant_vst_abi velmorant_common
                          velmorant_test_main)
    velmorant_runtime(${T_NAME})
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
