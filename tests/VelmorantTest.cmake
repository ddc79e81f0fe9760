# velmorant_test(NAME n SOURCES ... [LIBS ...] [DEPENDS ...] [X86_64_ONLY])
#   x86_64: an executable n.exe, run by CTest as test n.
#   i686: the sources join the one combined suite (unless X86_64_ONLY).
# Tests find the binaries they load (plug-in, engines) beside themselves in bin/.
set_property(GLOBAL PROPERTY VELMORANT_SUITE_SOURCES "")
set_property(GLOBAL PROPERTY VELMORANT_SUITE_LIBS "")
set_property(GLOBAL PROPERTY VELMORANT_SUITE_DEPENDS "")

function(velmorant_test)
    cmake_parse_arguments(T "X86_64_ONLY" "NAME" "SOURCES;LIBS;DEPENDS" ${ARGN})
    list(TRANSFORM T_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
    if(VELMORANT_SHARED_RUNTIME)
        if(NOT T_X86_64_ONLY)
            set_property(GLOBAL APPEND PROPERTY VELMORANT_SUITE_SOURCES ${T_SOURCES})
            set_property(GLOBAL APPEND PROPERTY VELMORANT_SUITE_LIBS ${T_LIBS})
            set_property(GLOBAL APPEND PROPERTY VELMORANT_SUITE_DEPENDS ${T_DEPENDS})
        endif()
        return()
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    velmorant_runtime(${T_NAME})
    if(T_DEPENDS)
        add_dependencies(${T_NAME} ${T_DEPENDS})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1
             WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600)
endfunction()

function(velmorant_finish_tests)
    if(NOT VELMORANT_SHARED_RUNTIME)
        return()
    endif()
    get_property(sources GLOBAL PROPERTY VELMORANT_SUITE_SOURCES)
    get_property(libs GLOBAL PROPERTY VELMORANT_SUITE_LIBS)
    get_property(depends GLOBAL PROPERTY VELMORANT_SUITE_DEPENDS)
    if(NOT sources)
        return()
    endif()
    list(REMOVE_DUPLICATES libs)
    add_executable(i686_suite ${sources})
    target_link_libraries(i686_suite PRIVATE ${libs} GTest::gtest GTest::gtest_main)
    velmorant_runtime(i686_suite)
    if(depends)
        list(REMOVE_DUPLICATES depends)
        add_dependencies(i686_suite ${depends})
    endif()
    # Under emulated 32-bit Wine a second thread, or some unloads, end the
    # process; the suites that run cleanly there are run, and the plug-in as a
    # whole is exercised on i686 by standalone_load. A run must reach
    # GoogleTest's closing line to pass: a silent early exit is a failure.
    add_test(NAME i686_suite COMMAND i686_suite --gtest_brief=1
             "--gtest_filter=Vst*:Trace*"
             WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    set_tests_properties(i686_suite PROPERTIES PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
                         FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
    set_tests_properties(i686_suite PROPERTIES TIMEOUT 1800)
    # The hostile host's suites in a process of their own: after the Vst*
    # suites in the same emulated process, the first plug-in instance ends
    # it (another thread traps in a system call), while alone they run cleanly.
    add_test(NAME i686_hostile COMMAND i686_suite --gtest_brief=1 "--gtest_filter=Hostile*"
             WORKING_DIRECTORY ${VELMORANT_OUTPUT_DIR})
    set_tests_properties(i686_hostile PROPERTIES PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
                         FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]" TIMEOUT 1800)
endfunction()
