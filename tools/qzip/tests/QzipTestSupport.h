#pragma once
// The qzip tests' fixture: qzip from the build tree, run in a fresh folder that
// holds src/a.txt and src/sub/b.log, with or without the format library.

#include <platform/testing/TestSupport.h>

#include <filesystem>
#include <string>

namespace quarva::qzip::testing {

class QzipTest : public quarva::testing::BuiltProgramTest {
protected:
    QzipTest() : BuiltProgramTest("tools/qzip/qzip") {}
    void SetUp() override {
        BuiltProgramTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::create_directories(dir() / "src" / "sub");
        quarva::testing::writeFile(dir() / "src" / "a.txt", "alpha\n");
        quarva::testing::writeFile(dir() / "src" / "sub" / "b.log", std::string(5000, 'b'));
    }
    // The format library of this build (the tests that need it skip when it is missing).
    static std::filesystem::path library() { return quarva::testing::buildDir() / "formatlib" / "libqzip32.so"; }
    // The environment that points qzip at the format library, for a shell command line.
    static std::string libraryEnv() { return "QUARVA_FORMATLIB=" + quarva::testing::q(library()) + " "; }
    // Runs qzip with the format library.
    int runWithLibrary(const std::string& args, std::string* out = nullptr) const {
        using quarva::testing::q;
        return quarva::testing::runCommand("cd " + q(dir()) + " && " + libraryEnv() + q(program()) + " " + args, out);
    }
};

}  // namespace quarva::qzip::testing
