# quarva_add_test(NAME SOURCES ... LIBS ...)
# One GoogleTest executable per test topic; every test gets a fresh temp folder
# from the test helpers, and the registry store is redirected per test.
function(quarva_add_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
    if(NOT QUARVA_TESTS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    # quarva_testsupport brings main(), which sets QUARVA_SOURCE_DIR, QUARVA_BUILD_DIR
    # and QUARVA_DIST_DIR (the installed layout of `make test`) when they are unset.
    target_link_libraries(${name} PRIVATE quarva_testsupport ${T_LIBS} GTest::gtest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}.")
endfunction()
