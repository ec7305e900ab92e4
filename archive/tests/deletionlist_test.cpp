// The run's deletion list: appended, never truncated, kept when a file stays behind,
// and never a way for anyone to have another file deleted.
#include "archive/core/DeletionList.h"
#include "platform/testing/TestSupport.h"

#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using quarva::archive::CDeletionList;
using quarva::testing::readFile;
using quarva::testing::writeFile;

namespace {

class DeletionListTest : public quarva::testing::FolderTest {};

// Runs `work` in a child process as the user "nobody"; false when that cannot be
// done (the tests do not run as root, or there is no such user).
bool asNobody(const std::function<void()>& work) {
    if (::geteuid() != 0) return false;
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return false;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(2);
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(DeletionListTest, DeletesRecordedFilesAndTheList) {
    writeFile(tmpDir() / "a.txt", "a");
    writeFile(tmpDir() / "sub" / "b.txt", "b");
    fs::permissions(tmpDir() / "sub" / "b.txt", fs::perms::owner_read, fs::perm_options::replace);
    CDeletionList list;
    ASSERT_TRUE(list.open(tmpDir()));
    list.append((tmpDir() / "a.txt").string());
    list.append((tmpDir() / "sub" / "b.txt").string());
    list.append((tmpDir() / "never-existed.txt").string());
    EXPECT_EQ(readFile(tmpDir() / "~QuarvaDel.tmp"), (tmpDir() / "a.txt").string() + "\r\n" +
                                                         (tmpDir() / "sub" / "b.txt").string() + "\r\n" +
                                                         (tmpDir() / "never-existed.txt").string() + "\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((tmpDir() / "~QuarvaDel.tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(list.deleteRecordedFiles());
    EXPECT_FALSE(fs::exists(tmpDir() / "a.txt"));
    EXPECT_FALSE(fs::exists(tmpDir() / "sub" / "b.txt"));
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

TEST_F(DeletionListTest, ListStaysWhenAFileCannotBeDeletedAndNextRunAppends) {
    // A folder with content cannot be deleted as a file: it stands for a file that stays behind.
    writeFile(tmpDir() / "stuck" / "inner.txt", "x");
    writeFile(tmpDir() / "gone.txt", "g");
    {
        CDeletionList list;
        ASSERT_TRUE(list.open(tmpDir()));
        list.append((tmpDir() / "stuck").string());
        list.append((tmpDir() / "gone.txt").string());
        EXPECT_FALSE(list.deleteRecordedFiles());
    }
    EXPECT_FALSE(fs::exists(tmpDir() / "gone.txt"));
    ASSERT_TRUE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));

    // The next run opens the same list without truncating it and retries at exit.
    CDeletionList next;
    ASSERT_TRUE(next.open(tmpDir()));
    next.append((tmpDir() / "later.txt").string());
    std::string content = readFile(tmpDir() / "~QuarvaDel.tmp");
    EXPECT_EQ(content.find((tmpDir() / "stuck").string()), 0u);
    EXPECT_NE(content.find("later.txt\r\n"), std::string::npos);
    fs::remove(tmpDir() / "stuck" / "inner.txt");
    EXPECT_TRUE(next.deleteRecordedFiles());
    EXPECT_FALSE(fs::exists(tmpDir() / "stuck"));
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

TEST_F(DeletionListTest, UnopenableListIsIgnored) {
    CDeletionList list;
    EXPECT_FALSE(list.open(dir() / "no" / "such" / "folder"));
    EXPECT_FALSE(list.append("/x"));
    EXPECT_FALSE(list.deleteRecordedFiles());
}

// Only temporaries of our own go: a line naming a file outside the folder, reaching
// out with "..", or running through a link inside it deletes nothing, whoever
// wrote it.
TEST_F(DeletionListTest, DeletesNothingOutsideItsFolderOrThroughALink) {
    const fs::path victim = dir() / "victim" / ".bashrc";
    writeFile(victim, "keep me");
    fs::create_directory_symlink(dir() / "victim", tmpDir() / "via-link");
    fs::create_symlink(victim, tmpDir() / "link-to-victim");
    writeFile(tmpDir() / "ours.txt", "ours");
    {
        CDeletionList list;
        ASSERT_TRUE(list.open(tmpDir()));
        list.append(victim.string());
        list.append((tmpDir() / ".." / ".." / "victim" / ".bashrc").string());
        list.append((tmpDir() / "via-link" / ".bashrc").string());
        list.append("victim/.bashrc");
        list.append((tmpDir() / "link-to-victim").string());
        list.append((tmpDir() / "." / "ours.txt").string());
        EXPECT_TRUE(list.deleteRecordedFiles());
    }
    EXPECT_EQ(readFile(victim), "keep me");
    EXPECT_TRUE(fs::exists(tmpDir() / "via-link"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmpDir() / "link-to-victim")));  // the link itself went
    EXPECT_FALSE(fs::exists(tmpDir() / "ours.txt"));
}

// A list waiting under its name as a link, or linked to another file, is not used.
TEST_F(DeletionListTest, ListThatIsALinkIsNotUsed) {
    const fs::path victim = dir() / "victim.txt";
    writeFile(victim, "keep me");
    fs::create_symlink(victim, tmpDir() / "~QuarvaDel.tmp");
    CDeletionList list;
    EXPECT_FALSE(list.open(tmpDir()));
    EXPECT_FALSE(list.append((tmpDir() / "x").string()));
    EXPECT_EQ(readFile(victim), "keep me");
    fs::remove(tmpDir() / "~QuarvaDel.tmp");
    fs::create_hard_link(victim, tmpDir() / "~QuarvaDel.tmp");
    EXPECT_FALSE(list.open(tmpDir()));
    EXPECT_EQ(readFile(victim), "keep me");
}

// Another user plants the list in a folder both can write (as the shared /tmp
// was), naming one of the user's files: the list is not taken over, and the file
// stays.
TEST_F(DeletionListTest, ListPlantedByAnotherUserIsNotTakenOver) {
    const fs::path shared = dir() / "shared";
    fs::create_directories(shared);
    fs::permissions(dir(), fs::perms::all, fs::perm_options::add);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    const fs::path victim = shared / "victim.txt";
    writeFile(victim, "keep me");
    const bool planted = asNobody([&] {
        FILE* f = std::fopen((shared / "~QuarvaDel.tmp").c_str(), "w");
        if (!f) ::_exit(3);
        std::fprintf(f, "%s\r\n", victim.c_str());
        std::fclose(f);
        ::chmod((shared / "~QuarvaDel.tmp").c_str(), 0666);
    });
    if (!planted) GTEST_SKIP() << "needs root and the user nobody to play the other user";
    CDeletionList list;
    EXPECT_FALSE(list.open(shared));
    EXPECT_FALSE(list.deleteRecordedFiles());
    EXPECT_EQ(readFile(victim), "keep me");
}

}  // namespace
