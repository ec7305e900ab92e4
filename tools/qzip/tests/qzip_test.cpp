// The qzip tool as a user runs it: commands, exit statuses, output.

#include "QzipTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace quarva::testing;

namespace {

using Qzip = quarva::qzip::testing::QzipTest;

// Starts `qzip args...` from `folder` with its output discarded; returns the child.
pid_t startQzip(const fs::path& qzip, const fs::path& folder, const std::vector<const char*>& args) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(99);
        int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        std::vector<char*> argv{const_cast<char*>("qzip")};
        for (auto* a : args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        ::execv(qzip.c_str(), argv.data());
        ::_exit(98);
    }
    return pid;
}

std::vector<std::string> temporariesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".qz", 0) == 0) found.push_back(e.path().filename().string());
    return found;
}

// Interrupts the child with `sig` once it writes its temporary; the exit status follows the signal.
void interruptOnceWriting(pid_t pid, const fs::path& folder, int sig) {
    ASSERT_GE(pid, 0);
    for (int i = 0; i < 6000 && temporariesIn(folder).empty(); ++i) ::usleep(10000);
    EXPECT_FALSE(temporariesIn(folder).empty());
    ::kill(pid, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    EXPECT_TRUE(temporariesIn(folder).empty());
}

}  // namespace

TEST_F(Qzip, AddListTestExtract) {
    std::string out;
    ASSERT_EQ(run("a t.zip -r -9 src", &out), 0) << out;
    EXPECT_NE(out.find("File : a.txt : OK"), std::string::npos) << out;
    ASSERT_EQ(run("l --json t.zip", &out), 0) << out;
    EXPECT_NE(out.find("\"name\":\"b.log\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"method\":\"deflate\""), std::string::npos) << out;
    ASSERT_EQ(run("l t.zip '*.txt'", &out), 0);
    EXPECT_EQ(out.find("b.log"), std::string::npos) << out;
    ASSERT_EQ(run("t t.zip", &out), 0);
    EXPECT_NE(out.find("Testing  : a.txt : OK"), std::string::npos) << out;
    ASSERT_EQ(run("x t.zip -d out --quiet", &out), 0);
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(readFile(dir() / "out" / "a.txt"), "alpha\n");
    // Existing files are skipped without -o: exit 1 with the reason.
    EXPECT_EQ(run("x t.zip -d out", &out), 1);
    EXPECT_NE(out.find("File : a.txt : Skipped (exists, not overwritten)"), std::string::npos) << out;
    EXPECT_EQ(run("x t.zip -d out -o", &out), 0);
}

TEST_F(Qzip, PathsPasswordsDeleteCommentRepair) {
    std::string out;
    ASSERT_EQ(run("a p.zip -r -p --password pw --aes src", &out), 0) << out;
    EXPECT_EQ(run("t p.zip", &out), 2);  // no password: nothing could be tested
    EXPECT_NE(out.find("qzip: error 210"), std::string::npos) << out;
    ASSERT_EQ(run("t p.zip --password pw", &out), 0) << out;
    ASSERT_EQ(run("x p.zip -d o -j --password pw --quiet", &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "o" / "b.log"), std::string(5000, 'b'));
    ASSERT_EQ(run("d p.zip '*.log'", &out), 0) << out;
    ASSERT_EQ(run("l --json p.zip", &out), 0);
    EXPECT_EQ(out.find("b.log"), std::string::npos) << out;
    EXPECT_EQ(run("d p.zip '*.none'", &out), 2);
    EXPECT_NE(out.find("error 140"), std::string::npos) << out;
    ASSERT_EQ(run("c p.zip --set 'hello there'", &out), 0) << out;
    ASSERT_EQ(run("c p.zip", &out), 0);
    EXPECT_EQ(out, "hello there\n");
    ASSERT_EQ(run("r p.zip", &out), 0) << out;
    ASSERT_EQ(run("r p.zip --aggressive", &out), 0) << out;
}

TEST_F(Qzip, UpdateAndFreshen) {
    std::string out;
    ASSERT_EQ(run("a u.zip src/a.txt", &out), 0) << out;
    ASSERT_EQ(run("f u.zip src/a.txt src/sub/b.log", &out), 0) << out;
    EXPECT_EQ(out.find("b.log"), std::string::npos) << out;  // freshen adds nothing new
    ASSERT_EQ(run("u u.zip src/a.txt src/sub/b.log", &out), 0) << out;
    EXPECT_NE(out.find("File : b.log : OK"), std::string::npos) << out;
    EXPECT_EQ(out.find("a.txt"), std::string::npos) << out;  // not newer
}

TEST_F(Qzip, FailuresAndOtherFormats) {
    std::string out;
    EXPECT_EQ(run("l missing.zip", &out), 2);
    EXPECT_NE(out.find("qzip: error 100: Archive not found"), std::string::npos) << out;
    writeFile(dir() / "junk.zip", "not a zip at all");
    EXPECT_EQ(run("t junk.zip", &out), 2);
    EXPECT_NE(out.find("error 110"), std::string::npos) << out;
    EXPECT_EQ(run("a dup.zip src/a.txt src/sub/../a.txt", &out), 0) << out;  // the same file twice is one
    writeFile(dir() / "src" / "sub" / "a.txt", "other");
    EXPECT_EQ(run("a dup2.zip src/a.txt src/sub/a.txt", &out), 2);
    EXPECT_NE(out.find("error 370"), std::string::npos) << out;
    // Other formats go to the format library when this build has it; zip-only
    // commands are refused for them either way.
    writeFile(dir() / "x.tar.gz", "whatever");
    EXPECT_EQ(run("r x.tar.gz", &out), 2);
    EXPECT_TRUE(out.find("works on zip archives only") != std::string::npos ||
                out.find("format not supported by qzip yet") != std::string::npos)
        << out;
    EXPECT_EQ(run("z t.zip", &out), 2);
    EXPECT_EQ(run("", &out), 2);
}

TEST_F(Qzip, ConvertSelfExtractorAndEncodeReachTheFormatLibrary) {
    if (!fs::exists(library())) GTEST_SKIP() << "format library not built at " << library();
    std::string out;
    ASSERT_EQ(run("a t.zip -r src", &out), 0) << out;
    ASSERT_EQ(runWithLibrary("convert t.zip t.tar", &out), 0) << out;
    ASSERT_EQ(runWithLibrary("l t.tar", &out), 0) << out;
    EXPECT_NE(out.find("b.log"), std::string::npos) << out;
    ASSERT_EQ(runWithLibrary("encode t.zip t.uue uu", &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "t.uue").rfind("begin ", 0), 0u);
    // Usage names the three commands.
    EXPECT_EQ(run("", &out), 2);
    EXPECT_NE(out.find("qzip convert SOURCE TARGET"), std::string::npos) << out;
}

TEST_F(Qzip, PathsAsGivenAndEncryptionThatCannotBeGiven) {
    std::string out;
    // -p keeps the paths as the command line gives them, relative ones relative.
    ASSERT_EQ(run("a p.zip -p -r src ./src/../src/a.txt", &out), 0) << out;
    ASSERT_EQ(run("l --json p.zip", &out), 0);
    EXPECT_NE(out.find("\"name\":\"src/sub/b.log\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"name\":\"src/a.txt\""), std::string::npos) << out;
    EXPECT_EQ(out.find(dir().relative_path().string()), std::string::npos) << out;
    // AES without a password: refused, nothing written.
    EXPECT_EQ(run("a x.zip src/a.txt --aes", &out), 2);
    EXPECT_NE(out.find("--aes needs a password"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir() / "x.zip"));
}

TEST_F(Qzip, TestReportsDamagedEndRecords) {
    std::string out;
    ASSERT_EQ(run("a t.zip src/a.txt", &out), 0) << out;
    // A zip64 end record whose locator points past the end of the file.
    std::string bytes = readFile(dir() / "t.zip");
    std::string end = bytes.substr(bytes.size() - 22);
    auto le = [](std::uint64_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
        return s;
    };
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(end[at + std::size_t(i)]);
        return v;
    };
    std::string z = le(0x06064b50, 4) + le(44, 8) + le(45, 2) + le(45, 2) + le(0, 4) + le(0, 4) + le(1, 8) + le(1, 8) +
                    le(u32(12), 8) + le(u32(16), 8) + le(0x07064b50, 4) + le(0, 4) + le(0x7FFFFFFFFFull, 8) + le(1, 4);
    writeFile(dir() / "t.zip", bytes.substr(0, bytes.size() - 22) + z + end);
    EXPECT_EQ(run("t t.zip", &out), 2);
    EXPECT_NE(out.find("Testing  : a.txt : OK"), std::string::npos) << out;
    EXPECT_NE(out.find("damaged end records: the zip64 end locator points past the end of the file"), std::string::npos)
        << out;
}

TEST_F(Qzip, InterruptsLeaveTheArchiveAndNoTemporary) {
    std::string out;
    ASSERT_EQ(run("a t.zip src/a.txt", &out), 0) << out;
    const std::string before = readFile(dir() / "t.zip");
    std::string text;
    for (long i = 0; text.size() < (48u << 20); ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of the big file\n";
    writeFile(dir() / "big.txt", text);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        // Wait until the add writes its temporary, then interrupt it.
        interruptOnceWriting(startQzip(program(), dir(), {"a", "t.zip", "-9", "big.txt"}), dir(), sig);
        EXPECT_EQ(readFile(dir() / "t.zip"), before);
    }
    // The same for an archive of the format library's.
    if (fs::exists(library())) {
        ScopedEnv withLibrary("QUARVA_FORMATLIB", library().string());
        ASSERT_EQ(run("a t.lzh src/a.txt", &out), 0) << out;
        const std::string lzh = readFile(dir() / "t.lzh");
        interruptOnceWriting(startQzip(program(), dir(), {"a", "t.lzh", "big.txt"}), dir(), SIGINT);
        EXPECT_EQ(readFile(dir() / "t.lzh"), lzh);
    }
    // A temporary left by a killed writer goes with the next write to that folder.
    writeFile(dir() / ".qzAbCdEfGhIjKl", std::string(1000, 'x'));
    ASSERT_EQ(run("a t.zip src/sub/b.log", &out), 0) << out;
    EXPECT_TRUE(temporariesIn(dir()).empty());
}

// Without a private temporary folder it can use, qzip says why and does nothing.
TEST_F(Qzip, UnusableTemporaryFolderStopsWithItsReason) {
    fs::permissions(tmpDir(), fs::perms::all, fs::perm_options::add);
    std::string out;
    EXPECT_EQ(run("a new.zip src 2>&1", &out), 2);
    EXPECT_NE(out.find("temporary folder"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir() / "new.zip"));
}

// The content chooses between the zip engine and the format library: a compressed
// tar under a misleading name, a zip under any name; what is neither is named.
TEST_F(Qzip, ContentDecidesTheEngineAndNonZipsAreNamed) {
    if (!fs::exists(library())) GTEST_SKIP() << "format library not built";
    if (!haveTool("tar") || !haveTool("xz")) GTEST_SKIP() << "tar or xz missing";
    auto qz = [&](const std::string& args, std::string* out) { return runWithLibrary(args, out); };
    std::string out;
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && tar -cf - src | xz -c > backup.tbz"), 0);
    fs::copy_file(dir() / "backup.tbz", dir() / "backup");
    for (const char* name : {"backup.tbz", "backup"}) {
        EXPECT_EQ(qz(std::string("l ") + name, &out), 0) << out;
        EXPECT_NE(out.find("src/a.txt"), std::string::npos) << out;
        EXPECT_EQ(qz(std::string("t ") + name, &out), 0) << out;
    }
    // A zip named like something else goes to the zip engine.
    ASSERT_EQ(qz("a real.zip src/a.txt", &out), 0) << out;
    fs::copy_file(dir() / "real.zip", dir() / "real.tgz");
    EXPECT_EQ(qz("l --json real.tgz", &out), 0) << out;
    EXPECT_NE(out.find("\"name\":\"a.txt\""), std::string::npos) << out;
    // Text under a zip's name: the engine's refusal says what was found.
    writeFile(dir() / "notes.zip", "HAppy notes, no archive\n");
    EXPECT_EQ(qz("t notes.zip", &out), 2);
    EXPECT_NE(out.find("error 110"), std::string::npos) << out;
    EXPECT_NE(out.find("found: plain text"), std::string::npos) << out;
}
