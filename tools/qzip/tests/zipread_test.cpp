// Zips the engine cannot read by itself: without a central directory (read by their
// local headers) or with PPMd entries, both through the format library's zip reader;
// and a size declared a whole 4 GiB too large. Bytes are checked against bsdtar's.

#include "QzipTestSupport.h"

#include <filesystem>
#include <sstream>
#include <string>

using namespace quarva::testing;
namespace fs = std::filesystem;

namespace {

class QzipZipRead : public quarva::qzip::testing::QzipTest {
protected:
    void SetUp() override {
        QzipTest::SetUp();
        if (IsSkipped()) return;
        if (!fs::exists(library())) GTEST_SKIP() << "format library not built at " << library();
    }
    // A committed archive of formatlib/tests/data, copied into the test's folder.
    std::string copied(const std::string& name) {
        fs::copy_file(sourceDir() / "formatlib" / "tests" / "data" / name, dir() / name);
        return name;
    }
    // Extracts with qzip; every file bsdtar lists must hold what bsdtar writes to its
    // standard output (on disk it extends a file to its declared size).
    void expectSameAsPeer(const std::string& archive) {
        std::string out, names;
        ASSERT_EQ(runWithLibrary("x " + archive + " -d ours", &out), 0) << out;
        if (!haveTool("bsdtar")) return;
        const std::string peer = "cd " + q(dir()) + " && bsdtar ";
        ASSERT_EQ(runCommand(peer + "-tf " + archive + " </dev/null", &names), 0) << names;
        std::istringstream lines(names);
        int files = 0;
        for (std::string name; std::getline(lines, name);) {
            if (name.empty() || name.back() == '/') continue;
            ++files;
            ASSERT_EQ(runCommand(peer + "-xOf " + archive + " " + q(name) + " 2>/dev/null </dev/null", &out), 0);
            EXPECT_EQ(readFile(dir() / "ours" / name), out) << name;
        }
        EXPECT_GT(files, 0);
        fs::remove_all(dir() / "ours");
    }
};

}  // namespace

TEST_F(QzipZipRead, ZipsTheEngineRefusedAreReadAsThePeerReadsThem) {
    std::string out;
    for (const char* file : {"zip-no-end-record.zip", "zip-ppmd-three-files.zipx", "zip-size-off-by-4gib.zip"}) {
        const std::string name = file;
        copied(name);
        EXPECT_EQ(runWithLibrary("t " + name, &out), 0) << name << ": " << out;
        expectSameAsPeer(name);
    }
    // Repaired, the zip without an end record is the engine's again (its last extra
    // field runs past the end of the extra data: padding, ignored).
    ASSERT_EQ(runWithLibrary("r zip-no-end-record.zip", &out), 0) << out;
    EXPECT_EQ(runWithLibrary("t zip-no-end-record.zip", &out), 0) << out;
    EXPECT_NE(out.find("Testing  : a : OK"), std::string::npos) << out;
    ASSERT_EQ(runWithLibrary("x zip-size-off-by-4gib.zip -d o", &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "o" / "hello.txt"), "hello");
    ASSERT_EQ(runWithLibrary("l zip-ppmd-three-files.zipx", &out), 0) << out;
    EXPECT_NE(out.find("ppmd      no        smartd.conf"), std::string::npos) << out;

    // A PPMd zip keeps its directory: the engine changes it, copying the kept entries.
    const std::string before = readFile(dir() / "zip-ppmd-three-files.zipx");
    ASSERT_EQ(runWithLibrary("d zip-ppmd-three-files.zipx ts.conf", &out), 0) << out;
    ASSERT_EQ(runWithLibrary("l zip-ppmd-three-files.zipx", &out), 0) << out;
    EXPECT_EQ(out.find("ts.conf"), std::string::npos) << out;
    EXPECT_NE(out.find("2 files"), std::string::npos) << out;
    expectSameAsPeer("zip-ppmd-three-files.zipx");
    EXPECT_LT(readFile(dir() / "zip-ppmd-three-files.zipx").size(), before.size());
}

TEST_F(QzipZipRead, AZipCutOffBeforeItsDirectoryIsReadByItsLocalHeadersButNotChanged) {
    std::string out;
    ASSERT_EQ(run("a full.zip -r -p src -5", &out), 0) << out;
    writeFile(dir() / "src" / "sub" / "c.txt", std::string(3000, 'c'));  // compressible: deflated
    ASSERT_EQ(run("a full.zip -r -p src", &out), 0) << out;
    // Cut where the directory starts (the end record's offset).
    const std::string full = readFile(dir() / "full.zip");
    const std::size_t end = full.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    std::uint32_t at = 0;
    for (int i = 3; i >= 0; --i) at = (at << 8) | static_cast<unsigned char>(full[end + 16 + std::size_t(i)]);
    const std::string cut = full.substr(0, at);
    writeFile(dir() / "-cut 'it'.zip", cut);
    const std::string name = "./'-cut '\\''it'\\''.zip'";

    ASSERT_EQ(runWithLibrary("l " + name, &out), 0) << out;
    EXPECT_NE(out.find("src/sub/c.txt"), std::string::npos) << out;
    EXPECT_NE(out.find("3 files"), std::string::npos) << out;
    EXPECT_EQ(runWithLibrary("t " + name, &out), 0) << out;
    ASSERT_EQ(runWithLibrary("x " + name + " -d o", &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "o" / "src" / "sub" / "c.txt"), std::string(3000, 'c'));
    EXPECT_EQ(readFile(dir() / "o" / "src" / "sub" / "b.log"), std::string(5000, 'b'));
    // Changes need a directory: refused with the way out, the file left as it was.
    for (const std::string& command : {"a " + name + " src/a.txt", "d " + name + " src/a.txt"}) {
        EXPECT_EQ(runWithLibrary(command, &out), 2) << out;
        EXPECT_NE(out.find("no central directory found"), std::string::npos) << out;
        EXPECT_NE(out.find("repair it first (qzip r)"), std::string::npos) << out;
    }
    EXPECT_EQ(readFile(dir() / "-cut 'it'.zip"), cut);

    // Cut inside the data of an entry: that entry fails, the others are read.
    writeFile(dir() / "short.zip", cut.substr(0, cut.size() - 10));
    EXPECT_EQ(runWithLibrary("t short.zip", &out), 1) << out;
    EXPECT_NE(out.find("OK      src/sub/b.log"), std::string::npos) << out;
    EXPECT_NE(out.find("error: src/sub/c.txt: Testing Failed"), std::string::npos) << out;
    // Cut inside a header: not a clean end.
    const std::size_t second = cut.find("PK\x03\x04", 4);
    writeFile(dir() / "header.zip", cut.substr(0, second + 12));
    EXPECT_NE(runWithLibrary("t header.zip", &out), 0) << out;

    // Repaired, the engine reads it again.
    ASSERT_EQ(runWithLibrary("r " + name, &out), 0) << out;
    ASSERT_EQ(runWithLibrary("t " + name, &out), 0) << out;
    EXPECT_NE(out.find("Testing  : src/sub/c.txt : OK"), std::string::npos) << out;
}

TEST_F(QzipZipRead, MessagesForWhatIsNoZipOrHasNoDirectory) {
    std::string out;
    // Not a zip at all: what it holds, as before.
    writeFile(dir() / "notes.zip", "just some words, no archive\n");
    EXPECT_EQ(runWithLibrary("t notes.zip", &out), 2);
    EXPECT_NE(out.find("qzip: error 110: Archive is empty (zero bytes) or not a zip archive; found: plain text"),
              std::string::npos)
        << out;
    // A zip whose directory is gone: the engine's refusal (its comment) says so
    // instead of "not a zip archive".
    ASSERT_EQ(run("a t.zip src/a.txt", &out), 0) << out;
    const std::string zip = readFile(dir() / "t.zip");
    writeFile(dir() / "cut.zip", zip.substr(0, zip.rfind("PK\x01\x02")));
    EXPECT_EQ(runWithLibrary("c cut.zip", &out), 2);
    EXPECT_NE(
        out.find("qzip: error 110: no central directory found (the zip is damaged, or was cut off before its end)"),
        std::string::npos)
        << out;
    // Strong encryption that hides the headers too: nothing here reads it, and it says so.
    writeFile(dir() / "strong.zip", std::string("PK\x03\x04\x33\x00\x41\x20", 8) + std::string(60, '\0'));
    EXPECT_EQ(runWithLibrary("t strong.zip", &out), 2);
    EXPECT_NE(out.find("unsupported encryption: strong encryption"), std::string::npos) << out;
}
