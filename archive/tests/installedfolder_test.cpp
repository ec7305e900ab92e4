// A shared, read-only installation: the default folders go to the user's documents
// folder, and a run by another user leaves the installed folder as it was.
#include "archive/core/Configuration.h"
#include "archive/core/QuarvaZipApp.h"
#include "platform/testing/ScriptedPrompts.h"
#include "platform/testing/TestSupport.h"

#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quarva::archive;
using namespace quarva::testing;

namespace {

class InstalledFolderTest : public FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
            const char* v = std::getenv(name);
            saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
        }
        home_ = dir() / "home";
        fs::create_directories(home_);
        setenv("HOME", home_.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        for (auto& [name, v] : saved_) v ? (void)setenv(name.c_str(), v->c_str(), 1) : (void)unsetenv(name.c_str());
        FolderTest::TearDown();
    }
    fs::path home_;
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(InstalledFolderTest, DocumentsFolderComesFromUserDirs) {
    EXPECT_EQ(documentsFolder(), home_ / "Documents");
    writeFile(home_ / ".config" / "user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Papers\\\"\"\n");
    EXPECT_EQ(documentsFolder(), home_ / "My \"Papers\"");
    // An absolute folder, from XDG_CONFIG_HOME.
    setenv("XDG_CONFIG_HOME", (dir() / "cfg").c_str(), 1);
    writeFile(dir() / "cfg" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + (dir() / "docs").string() + "\"\n");
    EXPECT_EQ(documentsFolder(), dir() / "docs");
    // The home folder itself switches the documents folder off; lines without quotes count for nothing.
    writeFile(dir() / "cfg" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/\"\nXDG_DOCUMENTS_DIR=/elsewhere\n");
    EXPECT_EQ(documentsFolder(), home_ / "Documents");
}

TEST_F(InstalledFolderTest, DefaultFoldersLeaveAReadOnlyInstallationAlone) {
    auto store = SettingsStore::fromEnvironment();
    const fs::path installed = dir() / "suite";
    fs::create_directories(installed);
    store.writeString(suiteKey("Settings"), "Installed Path", installed.string());
    // Not created yet, or the user's own writable copy: the folders go inside it.
    EXPECT_EQ(defaultFoldersRoot(dir() / "new" / "suite"), dir() / "new" / "suite");
    EXPECT_EQ(defaultFoldersRoot(installed), installed);

    fs::permissions(installed, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    quarva::platform::testing::ScriptedPrompts prompts;
    CQuarvaZipApp app(store, prompts);
    ASSERT_TRUE(app.readInstallation());
    app.prepareFolders();
    fs::permissions(installed, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(app.extractionFolder, home_ / "Documents" / "Quarva" / "Extraction");
    EXPECT_EQ(app.archivesFolder, home_ / "Documents" / "Quarva" / "Archives");
    EXPECT_TRUE(fs::is_directory(app.extractionFolder));
    EXPECT_TRUE(fs::is_empty(installed));

    // A folder that belongs to someone else, even a writable one.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(installed.c_str(), 65534, 65534), 0);
        EXPECT_EQ(defaultFoldersRoot(installed), home_ / "Documents" / "Quarva");
    }
}

// Every file of a tree with its size, time and mode.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        out[e.path().lexically_relative(root).string()] =
            std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
            std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid);
    }
    return out;
}

// A copy of the installed folder made read-only, used by another user with an
// empty home: registration, an unattended add and an unattended extraction.
TEST_F(InstalledFolderTest, AnotherUserRunsFromAReadOnlyCopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as nobody";
    if (!haveTool("runuser")) GTEST_SKIP() << "runuser is missing";
    const fs::path dist = std::getenv("QUARVA_DIST_DIR");
    if (!fs::exists(dist / "QuarvaZip") || !fs::exists(dist / "quarva-reg"))
        GTEST_SKIP() << "no installed layout in " << dist << " (cmake --install first)";

    fs::permissions(dir(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    const fs::path installed = dir() / "opt" / "quarva";
    fs::create_directories(installed.parent_path());
    fs::permissions(installed.parent_path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    ASSERT_EQ(runCommand("cp -a '" + dist.string() + "' '" + installed.string() + "' && chmod -R a-w,a+rX '" +
                         installed.string() + "'"),
              0);
    fs::copy_file(sourceDir() / "scripts" / "register.sh", dir() / "register.sh");
    fs::permissions(dir() / "register.sh", fs::perms::all, fs::perm_options::add);
    ASSERT_EQ(::chown(home_.c_str(), 65534, 65534), 0);
    const auto before = snapshot(installed);

    const std::string work = (home_ / "work").string();
    const std::string sample = (installed / "samples" / "Sample Folder").string();
    const std::string script = "set -e; mkdir -p '" + work + "'; '" + (dir() / "register.sh").string() + "' '" +
                               installed.string() +
                               "' >/dev/null; "
                               "printf '%s\\r\\n%s\\r\\n' '" +
                               work + "/a.zip' '" + sample + "' > '" + work + "/~QuarvaZip.tmp'; '" +
                               installed.string() + "/QuarvaZip' /noadddialog '" + work +
                               "/~QuarvaZip.tmp'; "
                               "printf '%s\\r\\n%s\\r\\n' '" +
                               work + "/a.zip' '" + work + "/out' > '" + work + "/~QuarvaZip.tmp'; '" +
                               installed.string() + "/QuarvaZip' /noextractdialog '" + work +
                               "/~QuarvaZip.tmp'; "
                               "diff -r '" +
                               sample + "' '" + work + "/out/Sample Folder'";
    std::string out;
    int rc = runCommand("runuser -u nobody -- env -i HOME='" + home_.string() +
                            "' PATH=/usr/bin:/bin LANG=C ASAN_OPTIONS=detect_leaks=0 bash -c \"" + script + "\"",
                        &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(snapshot(installed), before);
    EXPECT_TRUE(fs::is_directory(home_ / "Documents" / "Quarva" / "Extraction")) << out;
    EXPECT_TRUE(fs::exists(home_ / ".config" / "quarva" / "registry" / "HKEY_CURRENT_USER.reg"));
    ASSERT_EQ(runCommand("chmod -R u+w '" + installed.string() + "'"), 0);
}

}  // namespace
