// The entry model and folder tree of the open archive, the string helpers and the
// archive kind/flag table.

#include <gtest/gtest.h>

#include "archive/core/ArchiveEntries.h"
#include "archive/core/ArchiveFlags.h"
#include "archive/core/PathText.h"

namespace quarva::archive {
namespace {

EntryValues values(const std::string& name, std::uint64_t size = 10) {
    EntryValues v;
    v.name = name;
    v.size = size;
    v.packedSize = 4;
    v.done = size;
    v.attributes = 0x20;
    v.modified = "05-06-24 07:08";
    v.crc = 77;
    v.ratio = 60;
    v.percent = 100;
    v.method = 8;
    v.disk = 1;
    v.encryption = 0;
    v.comment = "comment";
    return v;
}

// Adds an entry for every path, then builds the tree.
void addAndBuild(CArchiveEntries& entries, std::initializer_list<const char*> paths) {
    for (const char* p : paths) entries.addEntry(values(p));
    entries.buildTree();
}

std::vector<std::string> childNames(const CZorvTreeNode* node) {
    std::vector<std::string> names;
    for (const auto& c : node->children) names.push_back(c->name);
    return names;
}

TEST(ZipFileInfo, SplitsFolderAndNameAndStripsDrive) {
    auto info = CZipFileInfo::fromValues(values("C:\\docs\\sub\\a.txt"));
    EXPECT_EQ(info.name, "a.txt");
    EXPECT_EQ(info.folder, "docs\\sub");
    EXPECT_TRUE(info.inFolder);
    EXPECT_EQ(info.path(), "docs\\sub\\a.txt");
    EXPECT_EQ(info.size, 10u);
    EXPECT_EQ(info.packedSize, 4u);
    EXPECT_EQ(info.attributes, 0x20);
    EXPECT_EQ(info.modified, "05-06-24 07:08");
    EXPECT_EQ(info.crc, 77u);
    EXPECT_EQ(info.ratio, 60);
    EXPECT_EQ(info.method, 8);
    EXPECT_EQ(info.disk, 1);
    EXPECT_EQ(info.comment, "comment");

    auto root = CZipFileInfo::fromValues(values("plain.txt"));
    EXPECT_FALSE(root.inFolder);
    EXPECT_EQ(root.folder, "");
    EXPECT_EQ(root.name, "plain.txt");
}

TEST(ZipFileInfo, SizesAboveFourGigabytesStayWhole) {
    std::uint64_t big = 6ull * 1024 * 1024 * 1024 + 5;
    CArchiveEntries entries;
    entries.addEntry(values("huge.iso", big));
    EXPECT_EQ(entries.find("huge.iso")->size, big);
}

TEST(ArchiveEntries, SingleRootFileGivesRootWithOneFileAndNoFolders) {
    CArchiveEntries entries;
    entries.addEntry(values("a.txt"));
    entries.buildTree();
    ASSERT_NE(entries.root(), nullptr);
    EXPECT_EQ(entries.root()->name, "Root");
    EXPECT_TRUE(entries.root()->children.empty());
    ASSERT_EQ(entries.root()->files.size(), 1u);
    EXPECT_EQ(entries.root()->files[0]->name, "a.txt");
}

TEST(ArchiveEntries, DeepPathCreatesItsFoldersWithoutFolderRecords) {
    CArchiveEntries entries;
    entries.addEntry(values("x\\y\\z.txt"));
    entries.buildTree();
    CZorvTreeNode* x = entries.root()->child("x");
    ASSERT_NE(x, nullptr);
    EXPECT_TRUE(x->files.empty());
    CZorvTreeNode* y = x->child("y");
    ASSERT_NE(y, nullptr);
    ASSERT_EQ(y->files.size(), 1u);
    EXPECT_EQ(y->files[0]->name, "z.txt");
    EXPECT_EQ(entries.entryCount(), 1u);  // folders are never entries
    EXPECT_EQ(CArchiveEntries::folderPathOf(y), "x\\y\\");
}

TEST(ArchiveEntries, FolderNamesDifferingInCaseAreTwoSiblings) {
    CArchiveEntries entries;
    addAndBuild(entries, {"Docs\\a", "docs\\b"});
    auto names = childNames(entries.root());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(entries.root()->child("Docs"), nullptr);
    EXPECT_NE(entries.root()->child("docs"), nullptr);
    EXPECT_EQ(entries.root()->child("Docs")->files[0]->name, "a");
    EXPECT_EQ(entries.root()->child("docs")->files[0]->name, "b");
}

TEST(ArchiveEntries, PathGivenTwiceKeepsTheLaterEntry) {
    CArchiveEntries entries;
    EXPECT_EQ(entries.addEntry(values("d\\f.txt", 1)), CArchiveEntries::AddResult::Added);
    entries.buildTree();
    const CZipFileInfo* before = entries.root()->child("d")->files[0];
    EXPECT_EQ(entries.addEntry(values("d\\f.txt", 2)), CArchiveEntries::AddResult::Replaced);
    EXPECT_EQ(entries.entryCount(), 1u);
    EXPECT_EQ(entries.find("d\\f.txt")->size, 2u);
    // The tree still points at valid data: the later values.
    EXPECT_EQ(before, entries.find("d\\f.txt"));
    EXPECT_EQ(entries.root()->child("d")->files[0]->size, 2u);
}

TEST(ArchiveEntries, FolderRecordsAreNotEntries) {
    CArchiveEntries entries;
    EXPECT_EQ(entries.addEntry(values("onlyfolder\\")), CArchiveEntries::AddResult::Skipped);
    EXPECT_EQ(entries.addEntry(values("C:\\")), CArchiveEntries::AddResult::Skipped);
    EXPECT_EQ(entries.entryCount(), 0u);
    entries.buildTree();
    EXPECT_TRUE(entries.root()->children.empty());
    EXPECT_TRUE(entries.root()->files.empty());
}

TEST(ArchiveEntries, EmptyArchiveShowsTheRootAlone) {
    CArchiveEntries entries;
    entries.buildTree();
    ASSERT_NE(entries.root(), nullptr);
    EXPECT_TRUE(entries.root()->children.empty());
    EXPECT_TRUE(entries.root()->files.empty());
    auto order = entries.numberNodes();
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0]->index, 0);
}

TEST(ArchiveEntries, DriveIsStrippedFromTheKey) {
    CArchiveEntries entries;
    entries.addEntry(values("D:\\data\\r.doc"));
    EXPECT_NE(entries.find("data\\r.doc"), nullptr);
    EXPECT_EQ(entries.entries().count("D:\\data\\r.doc"), 0u);
}

TEST(ArchiveEntries, NodesAreNumberedDepthFirstInListOrder) {
    CArchiveEntries entries;
    addAndBuild(entries, {"a\\b\\1.txt", "a\\c\\2.txt", "d\\3.txt"});
    auto order = entries.numberNodes();
    std::vector<std::string> names;
    for (auto* n : order) names.push_back(n->name + "=" + std::to_string(n->index));
    EXPECT_EQ(names, (std::vector<std::string>{"Root=0", "a=1", "b=2", "c=3", "d=4"}));
    EXPECT_EQ(entries.nodeByIndex(3)->name, "c");
    EXPECT_EQ(entries.nodeByIndex(99), nullptr);
}

TEST(ArchiveEntries, TenThousandFoldersNeverMeetFileItemData) {
    CArchiveEntries entries;
    for (int i = 0; i < 12000; ++i) entries.addEntry(values("f" + std::to_string(i) + "\\x.txt"));
    entries.addEntry(values("top.txt"));
    entries.buildTree();
    auto order = entries.numberNodes();
    ASSERT_EQ(order.size(), 12001u);
    for (auto* node : order) EXPECT_FALSE(isFileItem(static_cast<std::uint32_t>(node->index)));
    EXPECT_TRUE(isFileItem(fileItemData(0)));
    EXPECT_EQ(fileItemPosition(fileItemData(12345)), 12345u);
    EXPECT_GT(fileItemData(0), static_cast<std::uint32_t>(order.back()->index));
}

TEST(ArchiveEntries, VeryDeepFolderChainIsBuiltAndReleased) {
    std::string path;
    for (int i = 0; i < 20000; ++i) path += "d\\";
    path += "leaf.txt";
    {
        CArchiveEntries entries;
        entries.addEntry(values(path));
        entries.buildTree();
        auto order = entries.numberNodes();
        EXPECT_EQ(order.size(), 20001u);
        EXPECT_EQ(order.back()->files.size(), 1u);
    }  // no stack overflow while the tree goes away
}

TEST(ArchiveEntries, RemovePathRemovesAFileFromFolderAndEntries) {
    CArchiveEntries entries;
    addAndBuild(entries, {"d\\a.txt", "d\\b.txt"});
    EXPECT_EQ(entries.removePath("d\\a.txt"), CArchiveEntries::Removed::File);
    EXPECT_EQ(entries.find("d\\a.txt"), nullptr);
    ASSERT_EQ(entries.root()->child("d")->files.size(), 1u);
    EXPECT_EQ(entries.root()->child("d")->files[0]->name, "b.txt");
}

TEST(ArchiveEntries, RemovePathRemovesAFolderWithItsSubtreeAndItsFiles) {
    CArchiveEntries entries;
    addAndBuild(entries, {"d\\e\\a.txt", "d\\b.txt", "dx\\c.txt"});
    EXPECT_EQ(entries.removePath("d"), CArchiveEntries::Removed::Folder);
    EXPECT_EQ(entries.root()->child("d"), nullptr);
    EXPECT_NE(entries.root()->child("dx"), nullptr);
    EXPECT_EQ(entries.entryCount(), 1u);
    EXPECT_NE(entries.find("dx\\c.txt"), nullptr);
    EXPECT_EQ(entries.removePath("nothing"), CArchiveEntries::Removed::Nothing);
}

TEST(ArchiveEntries, DeleteAllEmptiesEverything) {
    CArchiveEntries entries;
    entries.addEntry(values("a\\b.txt"));
    entries.buildTree();
    entries.numberNodes();
    entries.deleteAll();
    EXPECT_EQ(entries.entryCount(), 0u);
    EXPECT_EQ(entries.root(), nullptr);
    EXPECT_EQ(entries.nodeByIndex(0), nullptr);
}

TEST(ArchiveEntries, AddPathAttachesAnEntryAddedLater) {
    CArchiveEntries entries;
    entries.buildTree();
    entries.addEntry(values("new\\n.txt"));
    entries.addPath("Root\\new\\n.txt");
    entries.addEntry(values("top.txt"));
    entries.addPath("Root\\top.txt");
    ASSERT_NE(entries.root()->child("new"), nullptr);
    EXPECT_EQ(entries.root()->child("new")->files.size(), 1u);
    EXPECT_EQ(entries.root()->files.size(), 1u);
    entries.addPath("Root\\top.txt");  // twice: still one
    EXPECT_EQ(entries.root()->files.size(), 1u);
}

TEST(PathText, Helpers) {
    EXPECT_EQ(extensionOf("C:\\a\\Backup.ZIP"), "zip");
    EXPECT_EQ(extensionOf("/x.y/archive"), "");
    EXPECT_EQ(extensionOf("a.tar.GZ"), "gz");
    EXPECT_EQ(fileNamePart("a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(fileNamePart("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(folderPart("a\\b\\c.txt"), "a\\b");
    EXPECT_EQ(folderPart("c.txt"), "");
    EXPECT_EQ(replaceExtension("/d/x.zip", "exe"), "/d/x.exe");
    EXPECT_EQ(replaceExtension("/d.v/x", "exe"), "/d.v/x.exe");
    EXPECT_EQ(trim("  *.txt  *.doc \t"), "*.txt  *.doc");
    EXPECT_EQ(withSlashes("File : docs\\a.txt : OK\r\n"), "File : docs/a.txt : OK\r\n");
}

TEST(ArchiveFlags, KindAndFlagTable) {
    EXPECT_EQ(kindForOpening(extensionOf("Backup.ZIP")), ArchiveKind::Zip);
    EXPECT_EQ(kindForOpening("cab"), ArchiveKind::Cab);
    EXPECT_EQ(kindForOpening("rar"), ArchiveKind::OtherLibrary);
    EXPECT_EQ(kindForOpening(""), ArchiveKind::OtherLibrary);
    EXPECT_EQ(kindForCreating("zip"), ArchiveKind::Zip);
    for (const char* e : {"cab", "bh", "jar", "lha", "tar", "gz", "lzh"})
        EXPECT_EQ(kindForCreating(e), ArchiveKind::NewLibrary) << e;
    EXPECT_EQ(kindForCreating("rar"), std::nullopt);
    EXPECT_EQ(kindForCommandLine("zip"), ArchiveKind::Zip);
    EXPECT_EQ(kindForCommandLine("tar"), ArchiveKind::Library);
    for (const char* e : {"ace", "arj", "bh", "jar", "lha", "rar", "zip"}) EXPECT_TRUE(isSfxCapable(e)) << e;
    EXPECT_FALSE(isSfxCapable("cab"));
    EXPECT_FALSE(isModifiable("uue"));
    EXPECT_FALSE(isModifiable("xxe"));
    EXPECT_TRUE(isModifiable("zip"));
}

}  // namespace
}  // namespace quarva::archive
