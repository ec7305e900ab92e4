// The main of every test program: points the environment at the source, build and
// installed trees (unless the caller already did), then runs the tests.
#include <cstdlib>
#include <gtest/gtest.h>

extern "C" const char* __lsan_default_suppressions() {
    // Leaks inside system libraries that the suite cannot free.
    return "leak:libfontconfig\nleak:libgtk-3\nleak:libgdk-3\nleak:libglib-2.0\nleak:libgobject-2.0\n"
           "leak:libpango\nleak:libcairo\nleak:libdbus\nleak:libX11\nleak:libarchive\n";
}

int main(int argc, char** argv) {
    setenv("QUARVA_SOURCE_DIR", QUARVA_SOURCE_DIR_DEFAULT, 0);
    setenv("QUARVA_BUILD_DIR", QUARVA_BUILD_DIR_DEFAULT, 0);
    setenv("QUARVA_DIST_DIR", QUARVA_BUILD_DIR_DEFAULT "/dist", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
