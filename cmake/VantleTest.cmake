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

# vantle_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT] [ENV VAR=VALUE ...])
function(vantle_add_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE Qt6::Test)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vantle_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${VANTLE_TEST_ENVIRONMENT};${ARG_ENV}"
        TIMEOUT 300)
endfunction()
