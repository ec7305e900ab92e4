// Replacing files: commit, discard, links, long names, killed writers, a full disk
// and interrupts all leave either the new file or the old one, and no temporary.

#include "platform/AtomicFile.h"
#include "platform/Interrupt.h"
#include "platform/testing/TestSupport.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarva::platform;
using namespace quarva::testing;

namespace {

class AtomicFileTest : public quarva::testing::FolderTest {
protected:
    static int temporaries(const fs::path& folder) {
        int n = 0;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(".qz", 0) == 0) ++n;
        return n;
    }
    static bool put(AtomicFile& f, const std::string& s) {
        std::error_code ec;
        return f.write(s.data(), s.size(), ec);
    }
};

TEST_F(AtomicFileTest, CommitReplacesDiscardKeepsAndModeIsCarriedOver) {
    fs::path target = dir() / "a.txt";
    writeFile(target, "old");
    fs::permissions(target, fs::perms(0640), fs::perm_options::replace);
    std::error_code ec;
    {
        AtomicFile f;
        ASSERT_TRUE(f.open(target, ec)) << ec.message();
        EXPECT_EQ(f.tempPath().parent_path(), dir());
        EXPECT_EQ(f.tempPath().filename().string().size(), 15u);
        ASSERT_TRUE(put(f, "new contents"));
        EXPECT_EQ(readFile(target), "old");
        EXPECT_EQ(temporaries(dir()), 1);
    }  // destroyed without commit
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(temporaries(dir()), 0);

    AtomicFile f;
    ASSERT_TRUE(f.open(target, ec));
    ASSERT_TRUE(put(f, "new contents"));
    ASSERT_TRUE(f.commit(ec)) << ec.message();
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(readFile(target), "new contents");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(temporaries(dir()), 0);

    // A new file, with a name no shorter than the file system allows.
    fs::path longName = dir() / std::string(255, 'n');
    ASSERT_TRUE(f.open(longName, ec)) << ec.message();
    ASSERT_TRUE(put(f, "long"));
    ASSERT_TRUE(f.commit(ec)) << ec.message();
    EXPECT_EQ(readFile(longName), "long");
}

TEST_F(AtomicFileTest, SymlinkedTargetWritesTheFinalTargetAndKeepsTheLinks) {
    fs::create_directories(dir() / "real");
    writeFile(dir() / "real" / "data.zip", "old");
    fs::create_symlink("real/data.zip", dir() / "hop");
    fs::create_directories(dir() / "links");
    fs::create_symlink("../hop", dir() / "links" / "data.zip");
    std::error_code ec;
    AtomicFile f;
    ASSERT_TRUE(f.open(dir() / "links" / "data.zip", ec)) << ec.message();
    EXPECT_EQ(f.targetPath().lexically_normal(), (dir() / "real" / "data.zip").lexically_normal());
    EXPECT_EQ(fs::path(f.tempPath()).parent_path().lexically_normal(), (dir() / "real").lexically_normal());
    ASSERT_TRUE(put(f, "new"));
    ASSERT_TRUE(f.commit(ec));
    EXPECT_TRUE(fs::is_symlink(dir() / "links" / "data.zip"));
    EXPECT_TRUE(fs::is_symlink(dir() / "hop"));
    EXPECT_EQ(readFile(dir() / "real" / "data.zip"), "new");
    EXPECT_EQ(temporaries(dir() / "real") + temporaries(dir() / "links"), 0);
}

TEST_F(AtomicFileTest, KilledWritersTemporaryIsRemovedByTheNextOpenALiveOneIsNot) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        AtomicFile f;
        std::error_code ec;
        if (!f.open(dir() / "x.zip", ec) || !put(f, std::string(100000, 'x'))) _exit(1);
        (void)!::write(ready[1], "r", 1);
        for (;;) pause();
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(temporaries(dir()), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(temporaries(dir()), 1);

    // Names of that shape that are not a writer's file are left alone.
    fs::create_directories(dir() / "other");
    writeFile(dir() / "other" / "kept", "k");
    fs::create_symlink(dir() / "other" / "kept", dir() / ".qzLinkLinkLink");
    fs::create_directory(dir() / ".qzDirDirDirDir");

    std::error_code ec;
    AtomicFile live;
    ASSERT_TRUE(live.open(dir() / "x.zip", ec));
    EXPECT_TRUE(fs::is_symlink(dir() / ".qzLinkLinkLink"));
    EXPECT_TRUE(fs::is_directory(dir() / ".qzDirDirDirDir"));
    EXPECT_EQ(readFile(dir() / "other" / "kept"), "k");
    fs::remove(dir() / ".qzLinkLinkLink");
    fs::remove(dir() / ".qzDirDirDirDir");
    EXPECT_EQ(temporaries(dir()), 1);  // the dead one went, ours is here
    AtomicFile second;
    ASSERT_TRUE(second.open(dir() / "y.zip", ec));
    EXPECT_EQ(temporaries(dir()), 2);  // a writer at work keeps its file
    EXPECT_TRUE(fs::exists(live.tempPath()));
}

TEST_F(AtomicFileTest, FullDiskLeavesTheOriginalByteIdentical) {
    SmallVolume volume(dir() / "floppy", "1440k");
    if (!volume.mounted()) GTEST_SKIP() << volume.problem();
    const fs::path& small = volume.path();
    auto original = randomBytes(600 * 1024, 7);
    writeFile(small / "disk.zip", original);
    std::error_code ec;
    {
        AtomicFile f;
        ASSERT_TRUE(f.open(small / "disk.zip", ec));
        auto big = randomBytes(2 * 1024 * 1024, 8);
        EXPECT_FALSE(f.write(big.data(), big.size(), ec));
        EXPECT_EQ(ec, std::errc::no_space_on_device);
    }
    bool same = readFile(small / "disk.zip") == std::string(original.begin(), original.end());
    EXPECT_TRUE(same);
    EXPECT_EQ(temporaries(small), 0);
}

// A writer that polls the interrupt flag stops and cleans up on the first SIGINT;
// one that does not is ended by the second, which removes its temporary.
TEST_F(AtomicFileTest, InterruptsLeaveNoTemporary) {
    for (bool cooperative : {true, false}) {
        SCOPED_TRACE(cooperative ? "cooperative" : "second signal");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        if (child == 0) {
            installInterruptHandlers();
            AtomicFile f;
            std::error_code ec;
            if (!f.open(dir() / "big.zip", ec)) _exit(1);
            (void)!::write(ready[1], "s", 1);
            bool told = false;
            for (;;) {
                if (!put(f, std::string(4096, 'd'))) _exit(2);
                if (interruptRequested()) {
                    if (cooperative) {
                        f.discard();
                        _exit(128 + interruptSignal());
                    }
                    if (!told) (void)!::write(ready[1], "i", 1);
                    told = true;
                }
                usleep(1000);
            }
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        kill(child, SIGINT);
        if (!cooperative) {
            ASSERT_EQ(read(ready[0], &c, 1), 1);
            kill(child, SIGINT);
        }
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        close(ready[1]);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 130);
        EXPECT_EQ(temporaries(dir()), 0);
        EXPECT_FALSE(fs::exists(dir() / "big.zip"));
    }
}

}  // namespace
