# One helper registers every test executable, so each runs with the same
# predictable environment (C locale, UTC, Qt without a display), and per-user folders
# in the build tree, so no program a test starts writes settings into the real home.
set(VANTLE_TEST_ENVIRONMENT
    "XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-home/config"
    "XDG_STATE_HOME=${PROJECT_BINARY_DIR}/test-home/state"
    "LC_ALL=C"
    "TZ=UTC"
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

# The test frameworks' headers take most of a test's compile time: each kind is compiled
# once, by a target of its own, and every test of that kind reuses it.
# vantle_test_pch(TARGET KIND): TARGET reuses the headers of KIND (gtest or qt).
function(vantle_test_pch target kind)
    if(NOT VANTLE_PCH)
        return()
    endif()
    set(pch vantle_pch_${kind})
    if(NOT TARGET ${pch})
        set(anchor ${PROJECT_BINARY_DIR}/${pch}.cpp)
        if(NOT EXISTS ${anchor})
            file(WRITE ${anchor} "int main() { return 0; }\n")
        endif()
        # A program like the tests, so that it is compiled with their flags (-fPIE).
        add_executable(${pch} EXCLUDE_FROM_ALL ${anchor})
        # What the tests of the kind link, so that the flags and definitions match.
        if(kind STREQUAL "qt")
            target_link_libraries(${pch} PRIVATE vantle_ui Qt6::Test)
            target_precompile_headers(${pch} PRIVATE <QtTest> <QtWidgets>)
        else()
            target_link_libraries(${pch} PRIVATE GTest::gtest GTest::gmock)
            target_precompile_headers(${pch} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
        endif()
        target_include_directories(${pch} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        vantle_warnings(${pch})
    endif()
    target_precompile_headers(${target} REUSE_FROM ${pch})
endfunction()

# vantle_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT] [ENV VAR=VALUE ...])
function(vantle_add_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE Qt6::Test)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
        vantle_test_pch(${name} qt)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
        vantle_test_pch(${name} gtest)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vantle_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${VANTLE_TEST_ENVIRONMENT};${ARG_ENV}"
        TIMEOUT 300)
endfunction()
