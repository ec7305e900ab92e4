// The headless front end: QuarvaSplit --split / --rejoin as a script would run it.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SplitterTestSupport.h"
#include "splitter/SplitSet.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;
using quarva::testing::runCommand;
using quarva::testing::writeFile;

namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

class FrontEndTest : public SplitterTest {
protected:
    int run(const std::string& args, std::string* output = nullptr) {
        std::string o;
        int rc = runCommand(std::string(QUARVA_SPLIT_PROGRAM) + " " + args + " </dev/null", &o);
        if (output) *output = o;
        return rc;
    }
};

TEST_F(FrontEndTest, RoundTripsOfManySizes) {
    struct Case {
        std::size_t size;
        std::string option;
        std::uint32_t chunks;
    } cases[] = {
        {2, "--size 1", 2},
        {1000, "--size 999", 2},
        {1457665, "", 2},
        {2 * 1457664, "--size floppy", 2},
        {3000000, "", 3},
        {3000001, "--size 1000KB", 4},
        {1000000, "--files 4", 4},
        {10, "--files 5", 3},
        {777777, "--size 100000", 8},
        {2500000, "--size 1MB", 3},
        {12345, "--files 12345", 4115},
    };
    std::uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " " + c.option);
        std::string name = "file-" + std::to_string(seed) + ".dat";
        auto source = makeSource(name, c.size, seed++);
        fs::path set = out / name;
        fs::path target = back / name;
        fs::create_directories(set);
        fs::create_directories(target);
        std::string output;
        ASSERT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(set.string()) + " " + c.option, &output),
                  0)
            << output;
        EXPECT_NE(output.find("Operation Status:\n Completed successfully"), std::string::npos);
        EXPECT_EQ(filesIn(set).size(), c.chunks + 1);
        std::string rejoinFrom =
            c.size % 2 ? (set / chunkFileName(name, 0)).string() : (set / infoFileName(name)).string();
        ASSERT_EQ(run("--rejoin " + quote(rejoinFrom) + " --dest " + quote(target.string()), &output), 0) << output;
        EXPECT_TRUE(readFile(target / name) == readFile(source)) << "rejoined file differs";
    }
}

TEST_F(FrontEndTest, RelativePathsAreTakenFromTheCurrentFolder) {
    auto source = makeSource("rel.dat", 3000000, 77);
    fs::create_directories(out / "set");
    fs::create_directories(back / "joined");
    std::string output;
    std::string cd = "cd " + quote(source.parent_path().string()) + " && ";
    ASSERT_EQ(runCommand(cd + QUARVA_SPLIT_PROGRAM + " --split rel.dat --dest " +
                             quote(fs::relative(out / "set", source.parent_path()).string()) + " </dev/null",
                         &output),
              0)
        << output;
    ASSERT_EQ(
        runCommand(cd + QUARVA_SPLIT_PROGRAM + " --rejoin " +
                       quote(fs::relative(out / "set" / infoFileName("rel.dat"), source.parent_path()).string()) +
                       " --dest " + quote(fs::relative(back / "joined", source.parent_path()).string()) + " </dev/null",
                   &output),
        0)
        << output;
    EXPECT_TRUE(readFile(back / "joined" / "rel.dat") == readFile(source));
}

TEST_F(FrontEndTest, MalformedInformationFileIsRefusedAndWritesNothing) {
    auto bytes = encodeInfo({2, "../../escape.bin", 10});
    ASSERT_TRUE(bytes);
    writeFile(out / "evil.sio", std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
    writeFile(out / "short.sio", std::string(100, 'x'));
    std::string output;
    EXPECT_EQ(run("--rejoin " + quote((out / "evil.sio").string()) + " --dest " + quote(back.string()), &output), 1);
    EXPECT_NE(output.find("The information file is damaged"), std::string::npos) << output;
    EXPECT_EQ(run("--rejoin " + quote((out / "short.sio").string()) + " --dest " + quote(back.string()), &output), 1);
    EXPECT_TRUE(filesIn(back).empty());
    EXPECT_FALSE(fs::exists(dir() / "escape.bin"));
}

TEST_F(FrontEndTest, FailuresExitNonZero) {
    auto source = makeSource("x.bin", 5000);
    std::string output;
    // Same size as the file: nothing to split.
    EXPECT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --size 5000", &output), 1);
    EXPECT_NE(output.find("Splitting is not necessary."), std::string::npos);
    // Too large for the set format.
    EXPECT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --size 5000MB", &output),
              1);
    EXPECT_NE(output.find("smaller than 4 GB"), std::string::npos);
    EXPECT_EQ(run("--split " + quote(source.string()) + " --dest " + quote((dir() / "none").string()), &output), 1);
    EXPECT_NE(output.find("Destination folder is not defined"), std::string::npos);
    EXPECT_EQ(run("--split " + quote((src / "none").string()) + " --dest " + quote(out.string()), &output), 1);
    EXPECT_TRUE(filesIn(out).empty());
    // A missing chunk: the prompts get their default answer (OK), and the run gives up.
    ASSERT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --size 2000"), 0);
    fs::remove(out / "x.bin.1.spl");
    EXPECT_EQ(run("--rejoin " + quote((out / "x.bin.sio").string()) + " --dest " + quote(back.string()), &output), 1);
    EXPECT_NE(output.find("Doubtful inconsistence of data"), std::string::npos) << output;
    EXPECT_TRUE(filesIn(back).empty());
    // --answer cancel gives up at the first question.
    EXPECT_EQ(
        run("--rejoin " + quote((out / "x.bin.sio").string()) + " --dest " + quote(back.string()) + " --answer cancel",
            &output),
        1);
    EXPECT_EQ(output.find("Doubtful"), std::string::npos) << output;
}

TEST_F(FrontEndTest, CommandLineErrors) {
    std::string output;
    EXPECT_EQ(run("--split", &output), 2);
    EXPECT_EQ(run("--split a", &output), 2);
    EXPECT_NE(output.find("--dest FOLDER is required"), std::string::npos);
    EXPECT_EQ(run("--split a --dest b --size 12GB", &output), 1);
    EXPECT_EQ(run("--rejoin a.sio --dest b --size 10", &output), 2);
    EXPECT_EQ(run("--bogus", &output), 2);
    EXPECT_EQ(run("--help", &output), 0);
    EXPECT_NE(output.find("--rejoin"), std::string::npos);
}

TEST_F(FrontEndTest, WithoutADisplayTheWindowIsNotOpened) {
    std::string output;
    EXPECT_EQ(
        runCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(QUARVA_SPLIT_PROGRAM) + " </dev/null", &output),
        2);
    EXPECT_NE(output.find("needs a display"), std::string::npos) << output;
    EXPECT_NE(output.find("--split"), std::string::npos);
}

// A split whose chunk 1 goes into a pipe that the test drains, so that the run can be
// caught in the middle: returns once the program is writing chunk 1.
struct CaughtSplit {
    pid_t pid = 0;
    int chunkFd = -1, errFd = -1;
    std::string readErrUntil(const std::string& text) {
        std::string err;
        char buf[256];
        while (err.find(text) == std::string::npos) {
            ssize_t n = read(errFd, buf, sizeof buf);
            if (n <= 0) break;
            err.append(buf, static_cast<std::size_t>(n));
        }
        return err;
    }
    int finish(bool drain) {
        char buf[4096];
        while (drain && read(chunkFd, buf, sizeof buf) > 0) {}
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        close(chunkFd);
        close(errFd);
        return status;
    }
};

static void startCaughtSplit(CaughtSplit& run, const fs::path& source, const fs::path& out, const fs::path& fifo) {
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, out / (source.filename().string() + ".1.spl"));
    run.chunkFd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(run.chunkFd, 0);
    fcntl(run.chunkFd, F_SETFL, 0);

    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::string prog = QUARVA_SPLIT_PROGRAM, a1 = "--split", a2 = source.string(), a3 = "--dest", a4 = out.string();
    char* argv[] = {prog.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    ASSERT_EQ(posix_spawn(&run.pid, prog.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    run.errFd = errPipe[0];

    // Until the program opens chunk 1, the pipe has no writer and reads find nothing.
    char byte;
    ssize_t got = 0;
    int status = 0;
    while ((got = read(run.chunkFd, &byte, 1)) == 0) {
        ASSERT_EQ(waitpid(run.pid, &status, WNOHANG), 0) << "the program ended before writing chunk 1";
        usleep(1000);
    }
    ASSERT_EQ(got, 1);
}

TEST_F(FrontEndTest, InterruptsCancelTheRunAndRemoveTheSet) {
    auto source = makeSource("i.bin", 3000000);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE("signal " + std::to_string(sig));
        CaughtSplit run;
        startCaughtSplit(run, source, out, dir() / "fifo");
        if (HasFatalFailure()) return;
        kill(run.pid, sig);
        std::string err = run.readErrUntil("cancelling");
        EXPECT_NE(err.find("interrupted; cancelling the operation."), std::string::npos) << err;
        const int status = run.finish(true);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of cancelling";
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
        EXPECT_TRUE(filesIn(out).empty()) << ::testing::PrintToString(filesIn(out));
        for (const auto& name : filesIn(out)) fs::remove(out / name);
    }
}

TEST_F(FrontEndTest, SecondInterruptEndsAtOnceAndTakesTheInformationFile) {
    auto source = makeSource("j.bin", 3000000);
    CaughtSplit run;
    startCaughtSplit(run, source, out, dir() / "fifo");
    if (HasFatalFailure()) return;
    kill(run.pid, SIGINT);
    run.readErrUntil("cancelling");
    // The worker still hangs in its write to the pipe: the second one does not wait for it.
    kill(run.pid, SIGINT);
    const int status = run.finish(false);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    // Without its information file nothing takes the incomplete set for a whole one.
    EXPECT_FALSE(fs::exists(out / "j.bin.sio"));
    EXPECT_FALSE(fs::is_symlink(out / "j.bin.1.spl"));
}

TEST_F(FrontEndTest, RejoinReplacesAnExistingFileOnlyWithOverwrite) {
    auto source = makeSource("o.bin", 5000);
    ASSERT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --size 2000"), 0);
    writeFile(back / "o.bin", "precious");
    const std::string rejoin = "--rejoin " + quote((out / "o.bin.sio").string()) + " --dest " + quote(back.string());
    std::string output;
    EXPECT_EQ(run(rejoin, &output), 1);
    EXPECT_NE(output.find("o.bin already exists and has been left as it is.\n Give --overwrite to replace it."),
              std::string::npos)
        << output;
    EXPECT_EQ(readFile(back / "o.bin"), "precious");
    EXPECT_EQ(filesIn(back), std::vector<std::string>{"o.bin"});
    EXPECT_EQ(run(rejoin + " --overwrite", &output), 0) << output;
    EXPECT_TRUE(readFile(back / "o.bin") == readFile(source));
    EXPECT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --overwrite", &output), 2);
}

TEST_F(FrontEndTest, UnattendedRunsEndInsteadOfRetryingForEver) {
    auto source = makeSource("k.bin", 5000);
    // Chunk 1 can never be created: a folder has its name. Nobody can fix that here.
    fs::create_directory(out / "k.bin.1.spl");
    std::string output;
    EXPECT_EQ(run("--split " + quote(source.string()) + " --dest " + quote(out.string()) + " --size 2000", &output), 1);
    EXPECT_NE(output.find("The same question was asked 20 times"), std::string::npos) << output.substr(0, 2000);
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"k.bin.1.spl"});

    // Names whose chunk names cannot exist are refused before anything is written.
    auto longName = makeSource(std::string(250, 'n'), 5000);
    fs::remove_all(out / "k.bin.1.spl");
    EXPECT_EQ(run("--split " + quote(longName.string()) + " --dest " + quote(out.string()) + " --size 2000", &output),
              1);
    EXPECT_NE(output.find("The file name is too long"), std::string::npos) << output.substr(0, 2000);
    EXPECT_TRUE(filesIn(out).empty());
}
