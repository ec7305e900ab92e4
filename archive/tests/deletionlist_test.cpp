// The run's deletion list: appended, never truncated, kept when a file stays behind.
#include "archive/core/DeletionList.h"
#include "platform/testing/TestSupport.h"

namespace fs = std::filesystem;
using quarva::archive::CDeletionList;
using quarva::testing::readFile;
using quarva::testing::writeFile;

namespace {

class DeletionListTest : public quarva::testing::FolderTest {};

TEST_F(DeletionListTest, DeletesRecordedFilesAndTheList)
{
    writeFile(dir() / "a.txt", "a");
    writeFile(dir() / "b.txt", "b");
    fs::permissions(dir() / "b.txt", fs::perms::owner_read, fs::perm_options::replace);  // read-only is cleared
    CDeletionList list;
    ASSERT_TRUE(list.open(tmpDir()));
    list.append((dir() / "a.txt").string());
    list.append((dir() / "b.txt").string());
    list.append((dir() / "never-existed.txt").string());
    EXPECT_EQ(readFile(tmpDir() / "~QuarvaDel.tmp"),
              (dir() / "a.txt").string() + "\r\n" + (dir() / "b.txt").string() + "\r\n" +
                  (dir() / "never-existed.txt").string() + "\r\n");
    EXPECT_TRUE(list.deleteRecordedFiles());
    EXPECT_FALSE(fs::exists(dir() / "a.txt"));
    EXPECT_FALSE(fs::exists(dir() / "b.txt"));
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

TEST_F(DeletionListTest, ListStaysWhenAFileCannotBeDeletedAndNextRunAppends)
{
    // A folder with content cannot be deleted as a file: it stands for a file that stays behind.
    writeFile(dir() / "stuck" / "inner.txt", "x");
    writeFile(dir() / "gone.txt", "g");
    {
        CDeletionList list;
        ASSERT_TRUE(list.open(tmpDir()));
        list.append((dir() / "stuck").string());
        list.append((dir() / "gone.txt").string());
        EXPECT_FALSE(list.deleteRecordedFiles());
    }
    EXPECT_FALSE(fs::exists(dir() / "gone.txt"));
    ASSERT_TRUE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));

    // The next run opens the same list without truncating it and retries at exit.
    CDeletionList next;
    ASSERT_TRUE(next.open(tmpDir()));
    next.append((dir() / "later.txt").string());
    std::string content = readFile(tmpDir() / "~QuarvaDel.tmp");
    EXPECT_EQ(content.find((dir() / "stuck").string()), 0u);
    EXPECT_NE(content.find("later.txt\r\n"), std::string::npos);
    fs::remove(dir() / "stuck" / "inner.txt");
    EXPECT_TRUE(next.deleteRecordedFiles());
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

TEST_F(DeletionListTest, UnopenableListIsIgnored)
{
    CDeletionList list;
    EXPECT_FALSE(list.open(dir() / "no" / "such" / "folder"));
    EXPECT_FALSE(list.append("/x"));
    EXPECT_FALSE(list.deleteRecordedFiles());
}

}  // namespace
