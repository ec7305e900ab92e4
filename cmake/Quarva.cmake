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

# Fuzzing. With -DQUARVA_FUZZ=ON (a clang build, see scripts/fuzz.sh) every library
# is compiled with libFuzzer's coverage instrumentation, and each fuzzer becomes a
# libFuzzer binary in <build>/fuzz; the list of fuzzers and their seed folders goes
# to <build>/fuzz/fuzzers.txt for the runner.
option(QUARVA_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(QUARVA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUARVA_FUZZ needs clang (configure with CC=clang CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/fuzzers.txt "")
    if(NOT TARGET quarva_fuzzers)
        add_custom_target(quarva_fuzzers)
    endif()
endif()

# quarva_add_fuzzer(NAME SOURCES ... LIBS ... SEEDS <dir>)
# SOURCES define LLVMFuzzerTestOneInput. With QUARVA_FUZZ a libFuzzer binary NAME is
# built; with the tests, NAME_seedrun runs the target over every seed and
# deterministic variations of it (truncations, overwritten bytes) as the ctest test
# NAME_seeds, so every compiler exercises the seeds.
function(quarva_add_fuzzer name)
    cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SEEDS)
        message(FATAL_ERROR "quarva_add_fuzzer(${name}): SEEDS <dir> is required")
    endif()
    get_filename_component(seeds "${F_SEEDS}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(QUARVA_FUZZ)
        add_executable(${name} ${F_SOURCES})
        target_link_libraries(${name} PRIVATE ${F_LIBS})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
        add_dependencies(quarva_fuzzers ${name})
        file(APPEND ${CMAKE_BINARY_DIR}/fuzz/fuzzers.txt "${name}\t${CMAKE_BINARY_DIR}/fuzz/${name}\t${seeds}\n")
    endif()
    if(QUARVA_TESTS)
        add_executable(${name}_seedrun ${F_SOURCES} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/FuzzSeedDriver.cpp)
        target_link_libraries(${name}_seedrun PRIVATE ${F_LIBS})
        add_test(NAME ${name}_seeds COMMAND ${name}_seedrun ${seeds})
    endif()
endfunction()
