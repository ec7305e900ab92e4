// qzipshell as a file manager uses it: registration into the store, handlers
// found through the registry, and the archive manager really started.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/Registry.h"
#include "shellext/tests/ShellExtFixture.h"

namespace fs = std::filesystem;

using namespace quarva::com;

namespace quarva::shellext::testing {

namespace {

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Waits for `path` to exist and hold `marker` (a started program runs on its own).
bool waitForFile(const fs::path& path, const std::string& marker, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (fs::exists(path) && quarva::testing::readFile(path).find(marker) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace

class HostTest : public ShellExtTest {
protected:
    void SetUp() override {
        ShellExtTest::SetUp();
        // The server lives in the installed folder, as the install step puts it.
        fs::copy_file(QZIPSHELL_LIBRARY, installDir() / "libQZipShell32.so", fs::copy_options::overwrite_existing);
        std::string out;
        ASSERT_EQ(run("register " + quote(installDir().string()), &out), 0) << out;
    }
    int run(const std::string& args, std::string* out = nullptr) {
        std::string output;
        int rc = quarva::testing::runCommand(quote(QZIPSHELL_HOST) + " " + args + " 2>&1", &output);
        if (out) *out = output;
        return rc;
    }
    // For commands that start a program: its output goes to a file, not to a pipe
    // the started program would hold open.
    int runDetached(const std::string& args, std::string* out) {
        const fs::path log = dir() / "qzipshell.log";
        int rc =
            quarva::testing::runCommand(quote(QZIPSHELL_HOST) + " " + args + " > " + quote(log.string()) + " 2>&1");
        *out = quarva::testing::readFile(log);
        return rc;
    }
    // Ends the programs still running on this test's list file.
    void endStartedPrograms() {
        const std::string listPath = (tmpDir() / "~QuarvaZip").string();
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string pid = entry.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            std::string cmdline = quarva::testing::readFile(entry.path() / "cmdline");
            if (cmdline.find(listPath) != std::string::npos) kill(std::stoi(pid), SIGTERM);
        }
    }
    std::string program() const { return installDir().string() + "/QuarvaZip"; }
};

TEST_F(HostTest, MenuListsTheItemsWithOffsetsAndHelp) {
    const std::string doc = makeFile("Data/report.doc");
    std::string out;
    ASSERT_EQ(run("menu " + quote(doc), &out), 0) << out;
    EXPECT_NE(out.find("Quarva.Zip Suite > [bitmap 203]"), std::string::npos) << out;
    EXPECT_NE(out.find("0  Add To &Zip"), std::string::npos) << out;
    EXPECT_NE(out.find("help: Add the selected item to an archive"), std::string::npos) << out;
    EXPECT_NE(out.find("1  &Add to report.zip"), std::string::npos) << out;
    EXPECT_NE(out.find("2  Zip and E-Ma&il report.zip"), std::string::npos) << out;
}

TEST_F(HostTest, MenuAsJson) {
    setSettings(0x3FF & ~0x20u & ~0x40u);
    const std::string folder = makeFolder("my.dir");
    std::string out;
    ASSERT_EQ(run("menu --json " + quote(folder), &out), 0) << out;
    // One handler, although it is registered for directories and for folders.
    EXPECT_NE(out.find("\"handlers\":[{\"name\":\"Quarvazip\",\"clsid\":\"" + guidToString(CLSID_ZipContext) +
                       "\",\"firstId\":1,\"count\":3}]"),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("{\"position\":1,\"text\":\"&Add to my.dir.zip\",\"id\":2,\"handler\":\"Quarvazip\",\"offset\":1,"
                 "\"help\":\"Add the selected item to the archive " +
                 folder + ".zip\",\"helpWide\":"),
        std::string::npos)
        << out;
    EXPECT_TRUE(quarva::testing::isJson(out)) << out;
    EXPECT_FALSE(quarva::testing::isJson(out.substr(0, out.rfind('}'))));  // the check itself refuses a cut report
}

TEST_F(HostTest, InvokeWritesTheListFileAndStartsTheCommand) {
    const std::string folder = makeFolder("my.dir");
    std::string out;
    ASSERT_EQ(run("invoke 1 " + quote(folder), &out), 0) << out;
    EXPECT_EQ(listFile(), folder + ".zip\r\n" + folder);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {program(), "/noadddialog", kList}}}));
    EXPECT_NE(run("invoke 9 " + quote(folder), &out), 0);
    EXPECT_NE(out.find("refused"), std::string::npos) << out;
    EXPECT_NE(run("invoke x " + quote(folder)), 0);
}

// A name with a line break is refused, and the user reads why.
TEST_F(HostTest, NameWithALineBreakIsRefusedWithItsReason) {
    unsetenv("QUARVA_SHELLEXT_MESSAGE_LOG");  // the message goes to the error output, as for a user
    const std::string zip = makeFile("fotos\n" + dir().string() + "/victim/.zip", "PK");
    std::string out;
    EXPECT_EQ(run("invoke 1 " + quote(zip), &out), 1);
    EXPECT_NE(out.find("[Quarva.Zip Suite] Quarva.Zip Suite cannot hand this name"), std::string::npos) << out;
    EXPECT_NE(out.find("line break"), std::string::npos) << out;
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(listFileExists());
}

// Every command but the registration stops while the private temporary folder
// cannot be used, and says why.
TEST_F(HostTest, UnusableTemporaryFolderStopsEveryCommand) {
    fs::permissions(tmpDir(), fs::perms::all, fs::perm_options::add);
    const std::string folder = makeFolder("photos");
    for (const std::string& command : {"invoke 1 " + quote(folder), "menu " + quote(folder),
                                       "drop " + quote(makeFile("a.zip", "PK")) + " " + quote(folder)}) {
        std::string out;
        EXPECT_EQ(run(command, &out), 1) << command;
        EXPECT_NE(out.find("The temporary folder " + tmpDir().string()), std::string::npos) << out;
    }
    EXPECT_TRUE(launches().empty());
    std::string out;
    EXPECT_EQ(run("register " + quote(installDir().string()), &out), 0) << out;
}

TEST_F(HostTest, SwitchedOffShowsNoItems) {
    setSettings(0x3FF & ~0x10u);
    std::string out;
    ASSERT_EQ(run("menu " + quote(makeFile("a.txt")), &out), 0) << out;
    EXPECT_EQ(out, "");
    EXPECT_NE(run("invoke 0 " + quote(makeFile("b.txt")), &out), 0);
}

TEST_F(HostTest, UnapprovedExtensionIsNotLoaded) {
    platform::Registry(registryDir())
        .deleteValue(platform::Hive::LocalMachine,
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                     guidToString(CLSID_ZipContext));
    std::string out;
    ASSERT_EQ(run("menu " + quote(makeFile("a.txt")), &out), 0) << out;
    EXPECT_NE(out.find("is not approved"), std::string::npos) << out;
    EXPECT_EQ(out.find("Add To &Zip"), std::string::npos) << out;
}

TEST_F(HostTest, DragMenuAndItsCommand) {
    const std::string zip = makeFile("in/b.zip", "PK");
    const std::string out = makeFolder("o");
    std::string text;
    ASSERT_EQ(run("dragmenu " + quote(out) + " " + quote(zip), &text), 0) << text;
    EXPECT_NE(text.find("0  E&xtract to folder "), std::string::npos) << text;
    EXPECT_NE(text.find("1  E&xtract to folder "), std::string::npos) << text;
    ASSERT_EQ(run("dragmenu-invoke 1 " + quote(out) + " " + quote(zip), &text), 0) << text;
    EXPECT_EQ(listFile(), zip + "\r\n" + out + "/b");
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {program(), "/noextractdialog", kList}}}));
    // A plain text file is no archive: nothing to offer.
    ASSERT_EQ(run("dragmenu " + quote(out) + " " + quote(makeFile("t.txt")), &text), 0);
    EXPECT_EQ(text, "");
}

TEST_F(HostTest, DropOnAZip) {
    const std::string zip = makeFile("a.zip", "PK");
    const std::string x = makeFile("x.txt"), y = makeFile("y.txt");
    std::string out;
    ASSERT_EQ(run("drop " + quote(zip) + " " + quote(x) + " " + quote(y), &out), 0) << out;
    EXPECT_EQ(listFile(), zip + "\r\n" + x + "\r\n" + y + "\r\n");
    EXPECT_EQ(launches(),
              (std::vector<Launch>{{false, {installDir().string() + "/QuarvaZip", "/noadddialog", kList}}}));
    // Files of other types take no drops.
    EXPECT_NE(run("drop " + quote(x) + " " + quote(y), &out), 0);
    EXPECT_NE(out.find("accepts no drops"), std::string::npos) << out;
}

TEST_F(HostTest, InfoTipAndSearch) {
    std::string out;
    ASSERT_EQ(run("infotip " + quote(makeArchive("a.zip", 12)), &out), 0) << out;
    EXPECT_EQ(out, "Quarva.Zip Suite info\nFiles/Folders in Archive: 12\n");
    EXPECT_NE(run("infotip " + quote(makeFile("a.txt")), &out), 0);
    ASSERT_EQ(run("search", &out), 0) << out;
    EXPECT_NE(run("search 1", &out), 0);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {installDir().string() + "/QuarvaZip", "/findinzip"}}}));
}

TEST_F(HostTest, UnregisterTakesTheHandlersAway) {
    std::string out;
    ASSERT_EQ(run("unregister " + quote(installDir().string()), &out), 0) << out;
    ASSERT_EQ(run("menu " + quote(makeFile("a.txt")), &out), 0) << out;
    EXPECT_EQ(out, "");
    EXPECT_NE(run("register " + quote((dir() / "nowhere").string()), &out), 0);
    EXPECT_NE(out.find("cannot load"), std::string::npos) << out;
}

// The real launcher: a stand-in archive manager notes its command line and
// the list file it was handed.
TEST_F(HostTest, InvokeStartsTheProgramInTheInstalledFolder) {
    unsetenv("QUARVA_SHELLEXT_LAUNCH_LOG");
    const fs::path seen = dir() / "seen.txt";
    quarva::testing::writeFile(installDir() / "QuarvaZip",
                               "#!/bin/sh\n"
                               "{ printf '%s|' \"$@\"; echo; cat \"$2\"; echo; echo END; } > " +
                                   quote(seen.string()) +
                                   ".part\n"
                                   "mv " +
                                   quote(seen.string()) + ".part " + quote(seen.string()) + "\n");
    fs::permissions(installDir() / "QuarvaZip", fs::perms::owner_all);
    const std::string folder = makeFolder("my.dir");
    std::string out;
    ASSERT_EQ(runDetached("invoke 1 " + quote(folder), &out), 0) << out;
    ASSERT_TRUE(waitForFile(seen, "END", 60)) << "the archive manager was not started";
    const std::string got = quarva::testing::readFile(seen);
    const std::string prefix = "/noadddialog|" + (tmpDir() / "~QuarvaZip").string();
    ASSERT_EQ(got.substr(0, prefix.size()), prefix) << got;
    const auto bar = got.find('|', prefix.size());
    ASSERT_NE(bar, std::string::npos) << got;
    EXPECT_EQ(got.substr(bar), "|\n" + folder + ".zip\r\n" + folder + "\nEND\n");
}

// End to end with the installed suite: the archives really change.
class InstalledSuiteTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        const char* distEnv = std::getenv("QUARVA_DIST_DIR");
        if (!distEnv || !fs::exists(fs::path(distEnv) / "QuarvaZip") ||
            !fs::exists(fs::path(distEnv) / "libQZipShell32.so"))
            GTEST_SKIP()
                << "QuarvaZip and libQZipShell32.so are not installed in $QUARVA_DIST_DIR (run cmake --install first)";
        dist_ = distEnv;
        unsetenv("QUARVA_SHELLEXT_LAUNCH_LOG");
        setInstalledPath(dist_.string());
        std::string out;
        ASSERT_EQ(run("register " + quote(dist_.string()), &out), 0) << out;
    }
    // Waits until `check` holds; the archive manager runs on its own.
    template <class Check>
    bool waitFor(Check check) {
        bool ok = false;
        for (int i = 0; i < 1200 && !(ok = check()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        endStartedPrograms();
        return ok;
    }
    std::string zipListing(const fs::path& zip) {
        std::string listing;
        if (quarva::testing::runCommand("unzip -Z1 " + quote(zip.string()) + " 2>/dev/null", &listing) != 0) return {};
        return listing;
    }
    fs::path dist_;
};

TEST_F(InstalledSuiteTest, InvokeMakesTheArchive) {
    if (!quarva::testing::haveTool("unzip")) GTEST_SKIP() << "unzip is not installed";
    const std::string folder = makeFolder("photos");
    makeFile("photos/one.txt", "one\n");
    makeFile("photos/sub/two.txt", "two\n");
    std::string out;
    ASSERT_EQ(runDetached("invoke 1 " + quote(folder), &out), 0) << out;
    const fs::path zip = folder + ".zip";
    // The archive manager writes a temporary file and renames it: once it exists it is whole.
    ASSERT_TRUE(waitFor([&] { return fs::exists(zip); })) << "QuarvaZip did not create " << zip;
    // The archive manager removed the list once it had read it.
    EXPECT_FALSE(listFileExists());
    const std::string listing = zipListing(zip);
    EXPECT_NE(listing.find("one.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("two.txt"), std::string::npos) << listing;
}

TEST_F(InstalledSuiteTest, DropAddsToTheArchive) {
    if (!quarva::testing::haveTool("zip") || !quarva::testing::haveTool("unzip"))
        GTEST_SKIP() << "Info-ZIP zip and unzip are needed";
    makeFile("first.txt", "first\n");
    const fs::path zip = dir() / "a.zip";
    ASSERT_EQ(quarva::testing::runCommand("cd " + quote(dir().string()) + " && zip -q a.zip first.txt"), 0);
    const std::string added = makeFile("added.txt", "added\n");
    std::string out;
    ASSERT_EQ(runDetached("drop " + quote(zip.string()) + " " + quote(added), &out), 0) << out;
    ASSERT_TRUE(waitFor([&] { return zipListing(zip).find("added.txt") != std::string::npos; }))
        << "QuarvaZip did not add to " << zip << ": " << zipListing(zip);
    EXPECT_NE(zipListing(zip).find("first.txt"), std::string::npos);
}

TEST_F(InstalledSuiteTest, RightDragExtractsIntoASubFolder) {
    if (!quarva::testing::haveTool("zip")) GTEST_SKIP() << "Info-ZIP zip is needed";
    makeFile("src/inside.txt", "inside\n");
    const fs::path zip = dir() / "in" / "b.zip";
    fs::create_directories(zip.parent_path());
    ASSERT_EQ(quarva::testing::runCommand("cd " + quote((dir() / "src").string()) + " && zip -q " +
                                          quote(zip.string()) + " inside.txt"),
              0);
    const std::string target = makeFolder("out");
    std::string out;
    ASSERT_EQ(runDetached("dragmenu-invoke 1 " + quote(target) + " " + quote(zip.string()), &out), 0) << out;
    const fs::path extracted = fs::path(target) / "b" / "inside.txt";
    ASSERT_TRUE(waitFor([&] { return fs::exists(extracted) && quarva::testing::readFile(extracted) == "inside\n"; }))
        << "QuarvaZip did not extract to " << extracted;
}

}  // namespace quarva::shellext::testing
