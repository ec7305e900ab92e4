// The command-line front that qzip calls for non-zip formats.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "FormatLibTestSupport.h"
#include "formatlib/cli/FormatCli.h"
#include "platform/Interrupt.h"

#include <atomic>
#include <thread>

namespace quarva::formatlib::testing {
namespace {

class CliTest : public FormatLibTest {
protected:
    int run(std::vector<std::string> args, const fs::path& library = libraryFile()) {
        out_.str("");
        err_.str("");
        return cli::run(args, out_, err_, library);
    }
    std::ostringstream out_, err_;
};

TEST_F(CliTest, AddListTestExtractDeleteConvertEncode) {
    const auto src = makeTree();
    const std::string a = (dir() / "c.lzh").string();
    ASSERT_EQ(run({"a", a, "-r", src.string()}), 0) << err_.str();
    ASSERT_EQ(run({"l", a}), 0) << err_.str();
    EXPECT_NE(out_.str().find("src/docs/deep/c.bin"), std::string::npos) << out_.str();
    ASSERT_EQ(run({"t", a}), 0) << err_.str();
    EXPECT_NE(out_.str().find("4 file(s) tested"), std::string::npos) << out_.str();
    ASSERT_EQ(run({"x", a, "-d", (dir() / "o").string()}), 0) << err_.str();
    EXPECT_EQ(tree(dir() / "o" / "src"), tree(src));
    ASSERT_EQ(run({"d", a, "src/a.txt"}), 0) << err_.str();
    ASSERT_EQ(run({"count", a}), 0);
    EXPECT_EQ(out_.str(), "3\n");
    ASSERT_EQ(run({"convert", a, (dir() / "c.cab").string()}), 0) << err_.str();
    ASSERT_EQ(run({"encode", (dir() / "c.cab").string(), (dir() / "c.xxe").string()}), 0) << err_.str();
    EXPECT_NE(readFile(dir() / "c.xxe").find("begin 644 c.cab"), std::string::npos);
    ASSERT_EQ(run({"find", a, "needle"}), 0);  // a.txt was deleted: nothing found
    EXPECT_EQ(out_.str(), "");
    ASSERT_EQ(run({"find", a, "DOCS LINE 1999", "-i"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "src/docs/b.txt:2000: docs line 1999 repeated text repeated text\n");
}

TEST_F(CliTest, ErrorsAndLoaderFailures) {
    EXPECT_EQ(run({"l", (dir() / "missing.tar").string()}), 2);
    EXPECT_NE(err_.str().find("Archive Not Found"), std::string::npos);
    EXPECT_EQ(run({"l", "x.tar"}, dir() / "nope.so"), 3);
    EXPECT_NE(err_.str().find("Dll Not loaded"), std::string::npos);
    EXPECT_EQ(run({"bogus", "x"}), 2);
    EXPECT_EQ(run({"convert", "a.tar", "b.rar"}), 2);
}

TEST_F(CliTest, OneStatusRuleForEveryFormatAndQuiet) {
    const auto src = makeTree();
    const std::string missing = (dir() / "missing.lzh").string();
    EXPECT_EQ(run({"l", missing}), 2);
    EXPECT_EQ(run({"t", missing}), 2);
    EXPECT_EQ(run({"x", missing, "-d", (dir() / "o").string()}), 2);
    EXPECT_EQ(run({"d", missing, "a.txt"}), 2);
    EXPECT_EQ(run({"count", missing}), 2);
    const std::string a = (dir() / "q.tar").string();
    // A file that is not there is skipped (1); the rest is added.
    EXPECT_EQ(run({"a", a, (src / "a.txt").string(), (dir() / "nothing.txt").string()}), 1);
    EXPECT_NE(err_.str().find("nothing.txt"), std::string::npos) << err_.str();
    // --quiet leaves out the per-file lines.
    EXPECT_EQ(run({"a", a, "--quiet", (src / "empty.txt").string()}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run({"t", a, "-q"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run({"x", a, "-q", "-d", (dir() / "o").string()}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run({"x", a, "-q", "-d", (dir() / "o").string()}), 1);  // files there already are skipped
    EXPECT_EQ(run({"d", a, "-q", "empty.txt"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run({"d", a, "nomatch.txt"}), 2);
}

TEST_F(CliTest, EncryptionThatCannotBeGivenIsRefused) {
    const auto src = makeTree();
    for (const char* name : {"x.tar", "x.lzh", "x.cab", "x.tgz", "x.gz"}) {
        const fs::path p = dir() / name;
        EXPECT_EQ(run({"a", p.string(), "-p", "pw", (src / "a.txt").string()}), 2) << name;
        EXPECT_NE(err_.str().find("Cannot encrypt"), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(p)) << name;
    }
    const std::string lzh = (dir() / "k.lzh").string();
    ASSERT_EQ(run({"a", lzh, (src / "a.txt").string()}), 0) << err_.str();
    const std::string before = readFile(lzh);
    EXPECT_EQ(run({"a", lzh, "-p", "pw", (src / "empty.txt").string()}), 2);
    EXPECT_EQ(run({"a", lzh, "--aes", (src / "empty.txt").string()}), 2);
    EXPECT_TRUE(readFile(lzh) == before);
    // zip can (ZipCrypto).
    EXPECT_EQ(run({"a", (dir() / "k.zip").string(), "-p", "pw", (src / "a.txt").string()}), 0) << err_.str();
}

TEST_F(CliTest, ADiskFullAddFailsAndKeepsTheArchive) {
    SmallVolume volume(dir() / "small", "1440k");
    if (!volume.mounted()) GTEST_SKIP() << volume.problem();
    const fs::path& small = volume.path();
    writeFile(dir() / "a.txt", std::string("a"));
    writeFile(dir() / "big.bin", randomBytes(3 << 20, 5));
    for (const char* name : {"s.tar", "s.tgz", "s.lzh"}) {
        const std::string archive = (small / name).string();
        ASSERT_EQ(run({"a", archive, (dir() / "a.txt").string()}), 0) << err_.str();
        const std::string before = readFile(archive);
        EXPECT_EQ(run({"a", archive, (dir() / "big.bin").string()}), 2) << name;
        EXPECT_TRUE(readFile(archive) == before) << name;
        for (auto& e : fs::directory_iterator(small))
            EXPECT_NE(e.path().filename().string()[0], '.') << "temporary left: " << e.path();
    }
}

TEST_F(CliTest, AnInterruptCancelsAnAddAndRemovesTheTemporary) {
    writeFile(dir() / "big.bin", randomBytes(40 << 20, 8));
    writeFile(dir() / "a.txt", std::string("a"));
    const std::string archive = (dir() / "i.lzh").string();
    ASSERT_EQ(run({"a", archive, (dir() / "a.txt").string()}), 0) << err_.str();
    const std::string before = readFile(archive);
    platform::installInterruptHandlers();
    // Ctrl-C once the temporary exists, that is while the add runs.
    std::atomic<bool> stop{false};
    std::thread interrupter([&] {
        while (!stop.load()) {
            for (auto& e : fs::directory_iterator(dir()))
                if (e.path().filename().string().rfind(".qz", 0) == 0) {
                    kill(getpid(), SIGINT);
                    return;
                }
            std::this_thread::yield();
        }
    });
    const int rc = run({"a", archive, (dir() / "big.bin").string()});
    stop = true;
    interrupter.join();
    const bool interrupted = platform::interruptRequested();
    platform::clearInterrupt();
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(rc, 2) << err_.str();
    EXPECT_NE(err_.str().find("aborted"), std::string::npos) << err_.str();
    EXPECT_TRUE(readFile(archive) == before);
    for (auto& e : fs::directory_iterator(dir()))
        EXPECT_NE(e.path().filename().string().rfind(".qz", 0), 0u) << e.path();
}

}  // namespace
}  // namespace quarva::formatlib::testing
