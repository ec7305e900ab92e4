# quarva_add_test(NAME SOURCES... LIBS ...)
# One GoogleTest executable per test topic; every test gets a fresh temp folder
# from the test helpers, and the registry store is redirected per test.
function(quarva_add_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
    if(NOT QUARVA_TESTS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} quarva_testsupport GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QUARVA_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUARVA_BUILD_DIR=${CMAKE_BINARY_DIR};QUARVA_DIST_DIR=${CMAKE_BINARY_DIR}/dist;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp"
        TEST_PREFIX "${name}.")
endfunction()
