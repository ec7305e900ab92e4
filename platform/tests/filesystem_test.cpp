// Drives, free space, attributes and the errno → system error mapping.

#include "platform/FileSystem.h"
#include "platform/testing/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quarva::platform;

namespace {

class FileSystemTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        const char* old = std::getenv("QUARVA_REMOVABLE_ROOTS");
        hadRoots_ = old != nullptr;
        if (old) oldRoots_ = old;
        unsetenv("QUARVA_REMOVABLE_ROOTS");
    }
    void TearDown() override {
        if (hadRoots_) setenv("QUARVA_REMOVABLE_ROOTS", oldRoots_.c_str(), 1);
        else unsetenv("QUARVA_REMOVABLE_ROOTS");
        FolderTest::TearDown();
    }
    void setRoots(const std::string& roots) { setenv("QUARVA_REMOVABLE_ROOTS", roots.c_str(), 1); }

private:
    std::string oldRoots_;
    bool hadRoots_ = false;
};

TEST_F(FileSystemTest, AFolderListedAsRemovableIsADriveRoot) {
    fs::path stick = dir() / "stick";
    fs::path inner = stick / "sub" / "deeper";
    fs::create_directories(inner);
    setRoots("/nonexistent/quarva-root:" + stick.string() + "/");

    EXPECT_EQ(driveType(stick), DriveType::Removable);
    EXPECT_EQ(driveType(inner), DriveType::Removable);
    EXPECT_EQ(driveType(stick / "not yet there.spl"), DriveType::Removable);
    EXPECT_EQ(driveRoot(inner), fs::weakly_canonical(stick));
    EXPECT_EQ(driveRoot(stick / "x.spl"), fs::weakly_canonical(stick));
    EXPECT_TRUE(isDriveRoot(stick));
    EXPECT_TRUE(isDriveRoot(stick.string() + "/"));
    EXPECT_FALSE(isDriveRoot(inner));
    // A folder beside the listed one is not part of it.
    fs::create_directories(dir() / "stick2");
    EXPECT_NE(driveType(dir() / "stick2"), DriveType::Removable);
    EXPECT_NE(driveRoot(dir() / "stick2"), fs::weakly_canonical(stick));
}

TEST_F(FileSystemTest, WithoutRemovableRootsTheMountPointIsTheRoot) {
    EXPECT_TRUE(isDriveRoot("/"));
    EXPECT_EQ(driveRoot("/"), fs::path("/"));
    EXPECT_FALSE(isDriveRoot(dir()));
    fs::path root = driveRoot(dir());
    EXPECT_TRUE(isDriveRoot(root));
    EXPECT_EQ(dir().string().rfind(fs::weakly_canonical(root).string(), 0), 0u) << root;
    DriveType t = driveType(dir());
    EXPECT_TRUE(t == DriveType::Fixed || t == DriveType::RamDisk || t == DriveType::Removable || t == DriveType::Remote)
        << static_cast<int>(t);
}

TEST_F(FileSystemTest, FreeSpaceIsKnownForExistingFolders) {
    auto tmp = freeSpace("/tmp");
    ASSERT_TRUE(tmp.has_value());
    EXPECT_TRUE(freeSpace(dir()).has_value());
    EXPECT_FALSE(freeSpace(dir() / "missing" / "folder").has_value());
}

TEST_F(FileSystemTest, AttributesFollowNameAndPermissions) {
    quarva::testing::writeFile(dir() / "plain.txt", "x");
    quarva::testing::writeFile(dir() / ".hidden", "x");
    fs::create_directories(dir() / ".config");

    EXPECT_EQ(fileAttributes(dir() / "plain.txt"), kAttrNormal);
    std::uint32_t hidden = fileAttributes(dir() / ".hidden");
    EXPECT_TRUE(hidden & kAttrHidden);
    EXPECT_FALSE(hidden & kAttrDirectory);
    std::uint32_t folder = fileAttributes(dir() / ".config");
    EXPECT_TRUE(folder & kAttrDirectory);
    EXPECT_TRUE(folder & kAttrHidden);
    EXPECT_EQ(fileAttributes(dir()) & (kAttrDirectory | kAttrHidden), kAttrDirectory);
    EXPECT_EQ(fileAttributes(dir() / "missing"), kInvalidAttributes);

    ASSERT_TRUE(setFileAttributes(dir() / "plain.txt", kAttrReadOnly));
    EXPECT_TRUE(fileAttributes(dir() / "plain.txt") & kAttrReadOnly);
    ASSERT_TRUE(setFileAttributes(dir() / "plain.txt", kAttrNormal));
    EXPECT_EQ(fileAttributes(dir() / "plain.txt"), kAttrNormal);
    EXPECT_FALSE(setFileAttributes(dir() / "missing", kAttrNormal));
}

TEST(SystemError, ErrnoMapsToTheSuitesNumbers) {
    EXPECT_EQ(systemErrorFromErrno(0), 0);
    EXPECT_EQ(systemErrorFromErrno(ENOSPC), 112);
    EXPECT_EQ(systemErrorFromErrno(EDQUOT), 112);
    EXPECT_EQ(systemErrorFromErrno(EROFS), 19);
    EXPECT_EQ(systemErrorFromErrno(ENOENT), 2);
    EXPECT_EQ(systemErrorFromErrno(ENOTDIR), 3);
    EXPECT_EQ(systemErrorFromErrno(EACCES), 5);
    EXPECT_EQ(systemErrorFromErrno(EIO, true), 29);
    EXPECT_EQ(systemErrorFromErrno(EIO, false), 30);
    EXPECT_EQ(systemErrorFromErrno(EIO), 30);
    EXPECT_EQ(systemErrorFromErrno(ENOMEDIUM), 21);
    EXPECT_EQ(systemErrorFromErrno(EEXIST), 80);
    errno = ENOSPC;
    EXPECT_EQ(lastSystemError(true), 112);
}

TEST_F(FileSystemTest, TempFolderIsPrivateAndRefusesWhatOthersCouldControl) {
    // The fixture points XDG_RUNTIME_DIR into the test folder.
    EXPECT_EQ(tempFolder(), tmpDir());
    EXPECT_EQ(tempFolderProblem(), "");
    EXPECT_FALSE(currentDirectory().empty());

    // Missing: created with mode 0700.
    fs::remove(tmpDir());
    ASSERT_EQ(tempFolder(), tmpDir());
    EXPECT_EQ(fs::status(tmpDir()).permissions(), fs::perms::owner_all);

    auto refused = [&](const char* words) {
        EXPECT_TRUE(tempFolder().empty());
        std::string problem = tempFolderProblem();
        EXPECT_NE(problem.find(tmpDir().string()), std::string::npos) << problem;
        EXPECT_NE(problem.find(words), std::string::npos) << problem;
    };
    fs::permissions(tmpDir(), fs::perms(0755), fs::perm_options::replace);
    refused("mode 0755");

    fs::remove(tmpDir());
    fs::create_directory(dir() / "elsewhere");
    fs::permissions(dir() / "elsewhere", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(dir() / "elsewhere", tmpDir());
    refused("symbolic link");

    fs::remove(tmpDir());
    quarva::testing::writeFile(tmpDir(), "x");
    refused("not a folder");

    fs::remove(tmpDir());
    if (geteuid() == 0) {
        fs::create_directory(tmpDir());
        fs::permissions(tmpDir(), fs::perms::owner_all, fs::perm_options::replace);
        ASSERT_EQ(chown(tmpDir().c_str(), 65534, 65534), 0);  // nobody
        refused("another user");
    }

    // Without XDG_RUNTIME_DIR, or with one that is not the user's: /tmp/quarva-<uid>,
    // never /tmp itself.
    std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    fs::path fallback = "/tmp/quarva-" + std::to_string(geteuid());
    auto fallsBack = [&] {
        fs::path folder = tempFolder();
        std::string problem = tempFolderProblem();
        EXPECT_TRUE(folder == fallback || (folder.empty() && problem.find(fallback.string()) != std::string::npos))
            << folder << " " << problem;
    };
    unsetenv("XDG_RUNTIME_DIR");
    fallsBack();
    setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    fallsBack();
    if (geteuid() == 0) {
        setenv("XDG_RUNTIME_DIR", tmpDir().parent_path().c_str(), 1);
        ASSERT_EQ(chown(tmpDir().parent_path().c_str(), 65534, 65534), 0);
        fallsBack();
        ASSERT_EQ(chown(tmpDir().parent_path().c_str(), 0, 0), 0);
    }
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

}  // namespace
