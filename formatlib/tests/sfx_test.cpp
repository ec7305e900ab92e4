// ArcToSFX builds a program that really runs and extracts, and refuses unsafe names.

#include <sys/stat.h>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class SfxTest : public FormatLibTest {};

TEST_F(SfxTest, ProgramFromATarExtractsIntoTheChosenFolder) {
    const auto src = makeTree();
    compress(dir() / "s.tar", {src.string()});
    host_.clear();
    sfx(dir() / "s.tar", dir() / "s.exe", stubFolder());
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    ASSERT_TRUE(fs::exists(dir() / "s.exe"));
    EXPECT_NE(fs::status(dir() / "s.exe").permissions() & fs::perms::owner_exec, fs::perms::none);
    std::string out;
    ASSERT_EQ(runCommand("'" + (dir() / "s.exe").string() + "' -d '" + (dir() / "chosen").string() + "'", &out), 0)
        << out;
    EXPECT_EQ(tree(dir() / "chosen" / "src"), tree(src));
    // -c: the current folder, no question asked.
    fs::create_directories(dir() / "cwd");
    ASSERT_EQ(runCommand("cd '" + (dir() / "cwd").string() + "' && ../s.exe -c < /dev/null", &out), 0) << out;
    EXPECT_EQ(tree(dir() / "cwd" / "src"), tree(src));
    // Asked: the answer names the folder.
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && echo answered | ./s.exe", &out), 0) << out;
    EXPECT_EQ(tree(dir() / "answered" / "src"), tree(src));
    // The payload's offsets point past the stub: zip readers see no stray bytes.
    if (haveTool("unzip")) {
        ASSERT_EQ(runCommand("unzip -t '" + (dir() / "s.exe").string() + "'", &out), 0) << out;
        EXPECT_EQ(out.find("extra bytes"), std::string::npos) << out;
    }
    EXPECT_EQ(count(dir() / "s.exe"), 4);
}

TEST_F(SfxTest, ZipSourceIsTheSamePayloadAndAMissingStubIsReported) {
    const auto src = makeTree();
    compress(dir() / "z.zip", {(src / "a.txt").string()});
    host_.clear();
    sfx(dir() / "z.zip", dir() / "z.exe", dir() / "no-stub-here");
    // The stub is found beside the library when the named folder lacks it.
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    const std::string exe = readFile(dir() / "z.exe");
    const std::string stub = readFile(stubFolder() / "qzipsfx");
    EXPECT_EQ(exe.compare(0, stub.size(), stub), 0);
    EXPECT_EQ(exe.size(), stub.size() + fs::file_size(dir() / "z.zip"));
}

TEST_F(SfxTest, StubRefusesUnsafeNames) {
    writeFile(dir() / "bad.zip", zipArchive({{"../evil.txt", "evil"}, {"/abs.txt", "evil"}, {"good.txt", "good"}}));
    sfx(dir() / "bad.zip", dir() / "bad.exe", stubFolder());
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    fs::create_directories(dir() / "box" / "dest");
    std::string out;
    EXPECT_NE(runCommand("'" + (dir() / "bad.exe").string() + "' -d '" + (dir() / "box" / "dest").string() + "'", &out),
              0);
    EXPECT_NE(out.find("Refused"), std::string::npos) << out;
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "good.txt"), "good");
    EXPECT_FALSE(fs::exists(dir() / "box" / "evil.txt"));
    EXPECT_FALSE(fs::exists("/abs.txt") && readFile("/abs.txt") == "evil");
}

TEST_F(SfxTest, ConversionFailureLeavesNoProgram) {
    writeFile(dir() / "broken.cab", std::string("MSCF\0\0\0\0garbage", 16));
    sfx(dir() / "broken.cab", dir() / "broken.exe", stubFolder());
    EXPECT_FALSE(host_.errors.empty());
    EXPECT_FALSE(fs::exists(dir() / "broken.exe"));
}

}  // namespace
}  // namespace quarva::formatlib::testing
