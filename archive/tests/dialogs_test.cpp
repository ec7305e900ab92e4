// The option models of the archive manager's dialogs: defaults, the values each
// choice hands on, and the messages that keep a dialog open.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/commands/DialogModels.h"
#include "archive/commands/DialogTexts.h"
#include "platform/testing/TestSupport.h"

namespace quarva::archive {
namespace {

namespace fs = std::filesystem;

TEST(AddDialogModel, DefaultsLevelsAndSpanning) {
    AddDialogOptions options;
    EXPECT_EQ(options.action, 0);
    EXPECT_EQ(options.compression, 3);
    EXPECT_FALSE(options.savePathInfo || options.includeHidden || options.includeSubfolders ||
                 options.deleteAfterZipping);
    const std::int16_t levels[] = {0, 1, 4, 6, 9};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(compressionLevel(i), levels[i]) << dlgtext::kCompressions[i];

    auto offered = spanningList(true, 0, true);
    EXPECT_EQ(offered.entries, (std::vector<std::string>{"Automatic", "Automatic + wipe disk prompt", "No Spanning"}));
    EXPECT_EQ(offered.selected, 2);
    EXPECT_TRUE(offered.enabled);
    auto fileForm = spanningList(false, 0, true);
    EXPECT_EQ(fileForm.entries, std::vector<std::string>{"Removable media only"});
    EXPECT_FALSE(fileForm.enabled);
    auto listsForm = spanningList(true, 3, false);  // a spanned set already: not offered
    EXPECT_EQ(listsForm.entries.size(), 3u);
    EXPECT_EQ(listsForm.selected, 0);
    EXPECT_FALSE(listsForm.enabled);

    // A fixed disk never spans, whatever the list shows.
    EXPECT_FALSE(spanningFlags(false, 0).spanning);
    EXPECT_TRUE(spanningFlags(true, 0).spanning && !spanningFlags(true, 0).wipeDisk);
    EXPECT_TRUE(spanningFlags(true, 1).spanning && spanningFlags(true, 1).wipeDisk);
    EXPECT_FALSE(spanningFlags(true, 2).spanning || spanningFlags(true, 2).wipeDisk);
}

TEST(AddDialogModel, Wildcards) {
    EXPECT_EQ(wildcardMask("*.txt *.doc", false), "*\r\n>*.txt\r\n>*.doc");
    EXPECT_EQ(wildcardMask("*.txt *.doc", true), "*.txt\r\n*.doc");
    EXPECT_EQ(wildcardMask("", true), "*");
    EXPECT_EQ(wildcardMask("a?.c", false), "a?.c");
    EXPECT_EQ(wildcardProblem("*.txt", false), std::nullopt);
    EXPECT_EQ(wildcardProblem("name", false), std::string(dlgtext::kWildcardHintZip));
    EXPECT_EQ(wildcardProblem("", true), std::string(dlgtext::kWildcardHintLibrary));
}

TEST(AddDialogModel, AddFromListsDescription) {
    quarva::testing::TempFolder temp;
    fs::path dir = temp / "a folder with a rather long name" / "source";
    fs::create_directories(dir);
    std::ofstream(dir / "one.txt") << "1";
    auto folder = describeAddLists({dir.string()}, {});
    EXPECT_EQ(folder.sourceFolder, dir.string() + "/");
    EXPECT_TRUE(folder.description.starts_with("File Copied : ")) << folder.description;
    EXPECT_TRUE(folder.description.ends_with("/*.*")) << folder.description;
    EXPECT_LE(folder.description.size(), std::string("File Copied : ").size() + 40 + 4);

    auto root = describeAddLists({"/"}, {});
    EXPECT_EQ(root.description, "File Copied : /*.*");
    EXPECT_EQ(root.sourceFolder, "/");

    auto file = describeAddLists({}, {"/a/b.txt"});
    EXPECT_EQ(file.description, "File Copied : /a/b.txt");
    EXPECT_EQ(file.sourceFolder, "/a/");

    auto many = describeAddLists({"/x/folder"}, {"/y/one.txt", "/y/two.txt"});
    EXPECT_EQ(many.description, "Total 3 files Copied");
    EXPECT_EQ(many.sourceFolder, "/y/");

    EXPECT_EQ(compactPath("/short/path"), "/short/path");
    std::string longPath = "/home/someone/a very long folder name/another long one/file.txt";
    std::string compact = compactPath(longPath);
    EXPECT_EQ(compact.size(), 40u);
    EXPECT_TRUE(compact.ends_with("/file.txt")) << compact;

    EXPECT_EQ(archiveNameProblem("/folder/"), std::string(dlgtext::kArchiveNameEmpty));
    EXPECT_EQ(archiveNameProblem("/folder/a.zip"), std::nullopt);
}

TEST(PasswordModel, Confirmation) {
    EXPECT_EQ(passwordProblem(true, "abc", "abd"), std::string("Password re-entered doesn't match"));
    EXPECT_EQ(passwordProblem(true, "abc", "abc"), std::nullopt);
    EXPECT_EQ(passwordProblem(true, "", "xyz"), std::nullopt);  // empty: accepted without comparing
    EXPECT_EQ(passwordProblem(false, "abc", ""), std::nullopt);
}

TEST(FolderChooserModel, ChosenFolderAndLists) {
    EXPECT_EQ(chosenFolder("/tmp/out"), "/tmp/out/");
    EXPECT_EQ(chosenFolder("/tmp/out/"), "/tmp/out/");
    EXPECT_EQ(chosenFolder("/"), "/");
    EXPECT_EQ(chosenFolder(""), std::nullopt);
    EXPECT_EQ(chosenFolder("//server/share"), std::nullopt);
    EXPECT_EQ(chosenFolder("/a//b"), std::nullopt);
    EXPECT_EQ(chosenFolder("/name with 'quotes'\n/-x"), "/name with 'quotes'\n/-x/");

    ExtractDialogOptions options;
    EXPECT_EQ(options.filesChoice, 0);
    EXPECT_FALSE(options.overwrite || options.skipOlder || options.useFolderNames);
    ExtractLists selection{{"docs\\a.txt"}, {"Pics"}};
    EXPECT_EQ(extractListsFor(options, selection).folders, selection.folders);
    options.filesChoice = 1;
    EXPECT_EQ(extractListsFor(options, selection).files, std::vector<std::string>{"*"});
    options.filesChoice = 2;
    options.pattern = "*.txt";
    auto lists = extractListsFor(options, selection);
    EXPECT_EQ(lists.files, (std::vector<std::string>{"*.txt", "*\\*.txt"}));
    EXPECT_TRUE(lists.folders.empty());
}

TEST(DeleteAndRenameModels, Validation) {
    DeleteDialogOptions options;
    EXPECT_EQ(options.choice, 1);
    EXPECT_EQ(deleteProblem(options), std::nullopt);
    options.choice = 2;
    EXPECT_EQ(deleteProblem(options), std::string("Enter a valid filter"));
    options.filter = "*.tmp";
    EXPECT_EQ(deleteProblem(options), std::nullopt);
    EXPECT_EQ(deleteFilterNames("*.tmp"), "*.tmp\r\n*\\*.tmp");

    EXPECT_EQ(renameTitle("a.zip"), "Rename a.zip To:");
    EXPECT_EQ(renameProblem("a.zip", "a.zip"),
              std::string("Cannot Rename!\nThe source and destination file names are same"));
    EXPECT_EQ(renameProblem("a.zip", "b"), std::nullopt);
    EXPECT_EQ(renamedFileName("a.zip", "b"), "b.zip");
    EXPECT_EQ(renamedFileName("a.zip", "b."), "b.zip");
    EXPECT_EQ(renamedFileName("a.zip", "b.tar"), "b.tar");
    EXPECT_EQ(renamedFileName("noext", "b"), "b");
}

TEST(ConvertModels, TypesTargetsAndTexts) {
    const auto& types = saveAsTypes();
    ASSERT_EQ(types.size(), 8u);
    EXPECT_STREQ(types[0].text, "Blak Hole File (bh)");
    EXPECT_STREQ(types[7].text, "LHA File (lha)");
    EXPECT_STREQ(types[7].extension, "lha");
    EXPECT_EQ(types[7].formatCode, types[2].formatCode);  // lha and lzh: one code
    EXPECT_EQ(types[4].formatCode, 4);

    EXPECT_EQ(replaceFromLastDot("/a/x.zip", ".bh"), "/a/x.bh");
    EXPECT_EQ(replaceFromLastDot("/a/noext", ".bh"), "/a/noext");
    // Only the text after the last "." changes, even with a dotted folder.
    EXPECT_EQ(replaceAfterLastDot("/a.zip/x.bh", "tar"), "/a.zip/x.tar");
    EXPECT_EQ(replaceAfterLastDot("/a/x.zip", "exe"), "/a/x.exe");

    EXPECT_EQ(targetProblem(""), std::string("Target Archive Name empty !"));
    EXPECT_EQ(overwriteQuestion("/t.tar"), "File /t.tar already exists\nOverwrite?");
    EXPECT_EQ(convertedText("/s.zip", "/t.tar"), "Successfully converted /s.zip to /t.tar");
    EXPECT_EQ(encodeTarget("/s.zip", "/custom/t.uue", 0), "/custom/t.uue");
    EXPECT_EQ(encodeTarget("/s.zip", "/custom/t.uue", 1), "/s.xxe");

    EXPECT_EQ(backupName("/d/a.zip"), "/d/a.zip_OLD.zip");
    EXPECT_EQ(textWindowLabels(true).ok, "&Save");
    EXPECT_EQ(textWindowLabels(true).copy, "&Clear");
    EXPECT_EQ(textWindowLabels(false).copy, "&Copy");
    EXPECT_EQ(commentToSave(""), " ");
    EXPECT_EQ(commentToSave("note"), "note");
}

TEST(PropertiesModel, FilesAndFolders) {
    auto file = [](std::string name, std::uint64_t size, std::uint64_t packed, int ratio, std::int16_t attributes) {
        CZipFileInfo info;
        info.name = std::move(name);
        info.size = size;
        info.packedSize = packed;
        info.ratio = static_cast<std::int16_t>(ratio);
        info.attributes = attributes;
        info.folder = "docs";
        info.modified = "01-02-03 04:05";
        return info;
    };
    CZipFileInfo a = file("a.txt", 100, 55, 45, 0x21), b = file("b.doc", 10, 10, 0, 0), c = file("c", 1, 1, 0, 0);

    auto one = propertiesView({&a}, {});
    EXPECT_EQ(one.icon, PropertiesView::Icon::FileType);
    EXPECT_EQ(one.type, "txt File");
    EXPECT_EQ(one.ratio, "45%");
    EXPECT_EQ(one.size, "100");
    EXPECT_EQ(one.packedSize, "55");
    EXPECT_EQ(one.location, "docs");
    EXPECT_TRUE(one.readOnly && one.archive && one.compressed && !one.hidden && !one.system);

    auto two = propertiesView({&a, &b}, {});
    EXPECT_EQ(two.icon, PropertiesView::Icon::Several);
    EXPECT_EQ(two.type, "Multiple Types Files");
    EXPECT_EQ(two.name, "2 Files");
    EXPECT_EQ(two.ratio, "Different Ratios");
    EXPECT_EQ(two.date, "");
    EXPECT_EQ(two.size, "110");
    EXPECT_EQ(propertiesView({&a, &c}, {}).type, "Multiple Types Files");

    auto folder = propertiesView({}, {SelectedFolder{{&a, &b, &c}, 1}});
    EXPECT_EQ(folder.icon, PropertiesView::Icon::Folder);
    EXPECT_EQ(folder.name, "3 Files, 1 Folders");
    EXPECT_EQ(folder.type, "Multiple Types");
    EXPECT_EQ(folder.size, "111");
}

}  // namespace
}  // namespace quarva::archive
