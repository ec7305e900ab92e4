// The one folder walk every packer gathers its files with.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/FileGatherer.h"
#include "platform/testing/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using quarva::platform::FoundItem;
using quarva::testing::writeFile;

using FileGatherer = quarva::testing::FolderTest;

// What a walk of `folder` visits: "name" for a file, "name/" for a folder, "name@"
// for a link, "name|" for anything else, paths below `folder`. A folder named
// "skipped" is visited but not gone into.
std::vector<std::string> walk(const fs::path& folder, quarva::platform::GatherOptions options) {
    std::vector<std::string> seen;
    const std::string root = folder.string() + "/";
    quarva::platform::gatherFolder(
        folder.string(), options,
        [&](const FoundItem& f) {
            std::string shown = f.path.substr(root.size());
            if (f.isFolder()) shown += "/";
            if (f.isLink()) shown += "@";
            if (f.kind == FoundItem::Kind::Other) shown += "|";
            seen.push_back(shown);
            return f.name != "skipped";
        },
        [&](const std::string& unread, const std::error_code&) { seen.push_back("unreadable " + unread); });
    return seen;
}

TEST_F(FileGatherer, NameOrderFoldersFirstNothingFollowed) {
    const fs::path top = dir() / "top";
    writeFile(top / "b.txt", "b");
    writeFile(top / "A.txt", "a");
    writeFile(top / ".hidden", "h");
    writeFile(top / "sub" / "c.txt", "c");
    writeFile(top / "skipped" / "never.txt", "x");
    writeFile(top / "-dash\r\nname 'q'", "odd");
    fs::create_directory_symlink(top / "sub", top / "link");
    ASSERT_EQ(::mkfifo((top / "pipe").c_str(), 0600), 0);

    EXPECT_EQ(walk(top, {false, true}), (std::vector<std::string>{"-dash\r\nname 'q'", "A.txt", "b.txt", "link@",
                                                                  "pipe|", "skipped/", "sub/", "sub/c.txt"}));
    // Hidden names on request; no folders at all without subfolders.
    const auto flat = walk(top, {true, false});
    EXPECT_EQ(flat, (std::vector<std::string>{"-dash\r\nname 'q'", ".hidden", "A.txt", "b.txt", "link@", "pipe|"}));

    // What a look at one path says, without following a link.
    FoundItem item;
    std::error_code ec;
    ASSERT_TRUE(quarva::platform::lookAt((top / "link").string(), item, ec));
    EXPECT_TRUE(item.isLink());
    EXPECT_EQ(item.name, "link");
    ASSERT_TRUE(quarva::platform::lookAt((top / "b.txt").string(), item, ec));
    EXPECT_TRUE(item.isFile());
    EXPECT_EQ(item.size, 1u);
    EXPECT_FALSE(quarva::platform::lookAt((top / "missing").string(), item, ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
}

TEST_F(FileGatherer, AFolderThatCannotBeReadIsReportedAndTheWalkGoesOn) {
    const fs::path top = dir() / "top";
    writeFile(top / "a" / "1.txt", "1");
    writeFile(top / "z.txt", "z");
    EXPECT_EQ(walk(dir() / "missing", {}), (std::vector<std::string>{"unreadable " + (dir() / "missing").string()}));
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    fs::permissions(top / "a", fs::perms::none);
    const auto seen = walk(top, {});
    fs::permissions(top / "a", fs::perms::owner_all);
    EXPECT_EQ(seen, (std::vector<std::string>{"a/", "unreadable " + (top / "a").string(), "z.txt"}));
}

}  // namespace
