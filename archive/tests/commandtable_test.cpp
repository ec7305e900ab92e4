// The main frame's command table as data against the archive states, and the file
// list's rows, texts and sort table.

#include <gtest/gtest.h>

#include <set>

#include "archive/commands/CommandTable.h"
#include "archive/commands/DropPlan.h"
#include "archive/commands/FileListModel.h"
#include "archive/core/ArchiveEntries.h"

namespace quarva::archive {
namespace {

using Ids = std::initializer_list<int>;

bool enabled(int id, const CommandState& s) { return evaluateCommand(id, s).enabled; }
bool checked(int id, const CommandState& s) { return evaluateCommand(id, s).checked; }

CommandState openArchive(const std::string& extension, ArchiveKind kind, std::uint64_t entries) {
    CommandState s;
    s.open = true;
    s.extension = extension;
    s.kind = kind;
    s.entries = entries;
    s.sfxCapable = extension == "zip" || extension == "rar";
    s.modifiable = extension != "uue" && extension != "xxe";
    return s;
}

TEST(CommandTable, EveryEntryIsCompleteAndUnique) {
    std::set<int> ids;
    std::set<std::pair<int, std::string>> texts;
    for (const auto& e : commandTable()) {
        EXPECT_TRUE(ids.insert(e.id).second) << e.text;
        EXPECT_TRUE(texts.insert({static_cast<int>(e.menu), e.text}).second) << e.text;
        EXPECT_NE(e.handler, nullptr) << e.text;
        EXPECT_NE(e.enabled, nullptr) << e.text;
        EXPECT_EQ(e.mark != Mark::None, e.marked != nullptr) << e.text;
        EXPECT_TRUE(e.id < cmd::kArchiveFirst || e.id > cmd::kArchiveLast) << e.text;
        EXPECT_NE(std::string(e.prompt), "") << e.text;
    }
    ASSERT_NE(findCommand(cmd::Help), nullptr);
    EXPECT_STREQ(findCommand(cmd::Help)->text, "&Help ");
    EXPECT_STREQ(findCommand(cmd::FindInZip)->text, "Find Files in &Zip ");
    EXPECT_STREQ(findCommand(cmd::TestSelected)->keys, "Alt+S");
    EXPECT_STREQ(findCommand(cmd::UpOneLevel)->keys, "Shift+Back");
    EXPECT_STREQ(findCommand(cmd::Properties)->keys, "Alt+Enter");
    EXPECT_STREQ(findCommand(cmd::kAlwaysOnTop)->text, "&Always On Top");
    EXPECT_EQ(findCommand(cmd::kAlwaysOnTop)->menu, Menu::View);
    EXPECT_EQ(findCommand(12345), nullptr);
    // Numbers above the window toolkit's range move down and back without meeting a menu command.
    for (int n : Ids{cmd::kFocusTree, cmd::kFocusList, cmd::kToggleViewButton, cmd::kArrangeIcons, cmd::kArchiveFirst,
                     cmd::kArchiveLast, cmd::kAlwaysOnTop, cmd::kToggleViewKey, cmd::NewArchive, cmd::About}) {
        EXPECT_LT(cmd::toWindowId(n), 32768);
        EXPECT_EQ(cmd::fromWindowId(cmd::toWindowId(n)), n);
        if (n > 32767) {
            EXPECT_EQ(findCommand(cmd::toWindowId(n)), nullptr);
        }
    }
    EXPECT_FALSE(evaluateCommand(12345, openArchive("zip", ArchiveKind::Zip, 3)).enabled);
}

TEST(CommandTable, NothingOpen) {
    CommandState none;
    for (int id : Ids{cmd::NewArchive, cmd::OpenArchive, cmd::Exit, cmd::FixZip, cmd::UltraTextSearch, cmd::FindInZip,
                      cmd::QuarvaSplit, cmd::VirusScan, cmd::Configuration, cmd::HideInTray, cmd::MyComputer,
                      cmd::About, cmd::SortBySize, cmd::ClassicView, cmd::kAlwaysOnTop})
        EXPECT_TRUE(enabled(id, none)) << id;
    for (int id : Ids{cmd::SaveAs,       cmd::CloseArchive,  cmd::Properties, cmd::OpenContainingFolder,
                      cmd::Print,        cmd::Copy,          cmd::Paste,      cmd::SelectAll,
                      cmd::Add,          cmd::Delete,        cmd::Extract,    cmd::View,
                      cmd::MakeExe,      cmd::EncodeArchive, cmd::Comment,    cmd::Install,
                      cmd::TestSelected, cmd::Password,      cmd::Refresh,    cmd::LastLog,
                      cmd::UpOneLevel})
        EXPECT_FALSE(enabled(id, none)) << id;
}

TEST(CommandTable, ArchiveKindsAndContents) {
    CommandState zip = openArchive("zip", ArchiveKind::Zip, 5);
    for (int id : Ids{cmd::SaveAs, cmd::Properties, cmd::Print, cmd::Add, cmd::Extract, cmd::MakeExe,
                      cmd::EncodeArchive, cmd::Comment, cmd::Password, cmd::Refresh, cmd::SelectAll})
        EXPECT_TRUE(enabled(id, zip)) << id;
    EXPECT_FALSE(enabled(cmd::Delete, zip));  // nothing selected
    EXPECT_FALSE(enabled(cmd::Install, zip));
    zip.selected = 2;
    EXPECT_TRUE(enabled(cmd::Delete, zip));
    EXPECT_TRUE(enabled(cmd::View, zip));
    EXPECT_TRUE(enabled(cmd::Copy, zip));
    EXPECT_TRUE(enabled(cmd::TestSelected, zip));
    EXPECT_FALSE(enabled(cmd::Paste, zip));
    zip.clipboardHasFiles = true;
    EXPECT_TRUE(enabled(cmd::Paste, zip));
    zip.installer = true;
    EXPECT_TRUE(enabled(cmd::Install, zip));

    CommandState empty = openArchive("zip", ArchiveKind::Zip, 0);
    EXPECT_FALSE(enabled(cmd::Properties, empty));
    EXPECT_FALSE(enabled(cmd::Print, empty));
    EXPECT_FALSE(enabled(cmd::MoveArchive, empty));
    EXPECT_TRUE(enabled(cmd::OpenContainingFolder, empty));
    EXPECT_TRUE(enabled(cmd::Add, empty));

    CommandState cab = openArchive("cab", ArchiveKind::Cab, 0);
    EXPECT_TRUE(enabled(cmd::Add, cab));  // an empty cabinet takes files
    cab.entries = 4;
    cab.selected = 1;
    cab.clipboardHasFiles = true;
    EXPECT_FALSE(enabled(cmd::Add, cab));
    EXPECT_FALSE(enabled(cmd::Delete, cab));
    EXPECT_FALSE(enabled(cmd::Paste, cab));
    EXPECT_TRUE(enabled(cmd::Extract, cab));
    EXPECT_FALSE(enabled(cmd::Comment, cab));
    EXPECT_FALSE(enabled(cmd::Password, cab));
    EXPECT_FALSE(enabled(cmd::MakeExe, cab));

    CommandState rar = openArchive("rar", ArchiveKind::OtherLibrary, 3);
    rar.selected = 1;
    EXPECT_FALSE(enabled(cmd::Add, rar));
    EXPECT_FALSE(enabled(cmd::Extract, rar));  // another library format: nothing to extract with
    EXPECT_FALSE(enabled(cmd::Delete, rar));
    EXPECT_TRUE(enabled(cmd::MakeExe, rar));
    EXPECT_TRUE(enabled(cmd::View, rar));

    CommandState uue = openArchive("uue", ArchiveKind::OtherLibrary, 1);
    EXPECT_FALSE(enabled(cmd::EncodeArchive, uue));
    EXPECT_FALSE(enabled(cmd::MakeExe, uue));
    CommandState jar = openArchive("jar", ArchiveKind::NewLibrary, 1);
    EXPECT_TRUE(enabled(cmd::Password, jar));
    EXPECT_TRUE(enabled(cmd::Add, jar));

    CommandState logged = openArchive("zip", ArchiveKind::Zip, 1);
    EXPECT_FALSE(enabled(cmd::LastLog, logged));
    logged.activityLogEmpty = false;
    EXPECT_TRUE(enabled(cmd::LastLog, logged));
}

TEST(CommandTable, ViewsStylesAndSortMarks) {
    CommandState s = openArchive("zip", ArchiveKind::Zip, 3);
    s.listStyle = ListStyle::SmallIcons;
    EXPECT_TRUE(checked(cmd::ExplorerView, s));
    EXPECT_FALSE(checked(cmd::ClassicView, s));
    EXPECT_TRUE(checked(cmd::SmallIcons, s));
    EXPECT_FALSE(checked(cmd::Details, s));
    EXPECT_FALSE(enabled(cmd::UpOneLevel, s));  // the tree stands at its root
    s.treeAtFirstRoot = false;
    EXPECT_TRUE(enabled(cmd::UpOneLevel, s));

    s.classicView = true;  // icon styles greyed, "&Details" marked
    EXPECT_TRUE(checked(cmd::ClassicView, s));
    EXPECT_FALSE(enabled(cmd::LargeIcons, s));
    EXPECT_FALSE(enabled(cmd::SmallIcons, s));
    EXPECT_FALSE(enabled(cmd::ListStyle, s));
    EXPECT_TRUE(enabled(cmd::Details, s));
    EXPECT_TRUE(checked(cmd::Details, s));
    EXPECT_FALSE(checked(cmd::SmallIcons, s));
    EXPECT_FALSE(enabled(cmd::UpOneLevel, s));

    s.sortColumn = kColSize;
    EXPECT_TRUE(checked(cmd::SortBySize, s));
    EXPECT_FALSE(checked(cmd::SortByName, s));
    s.alwaysOnTop = true;
    EXPECT_TRUE(checked(cmd::kAlwaysOnTop, s));
}

EntryValues entry(const std::string& name, std::uint64_t size, const std::string& modified = "01-02-03 04:05") {
    EntryValues v;
    v.name = name;
    v.size = v.done = size;
    v.packedSize = size / 2;
    v.ratio = 50;
    v.modified = modified;
    return v;
}

std::vector<std::string> names(const CFileListModel& m) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < m.size(); ++i) out.push_back(m.text(i, kColName));
    return out;
}

TEST(FileListModel, TextsOfAFileRow) {
    CArchiveEntries entries;
    entries.addEntry(entry("docs\\big.TXT", 1200000, "31-12-99 23:59"));
    entries.addEntry(entry("README", 7));
    entries.buildTree();
    CFileListModel model([](const std::string& ext) { return ext == "txt" ? "Plain text document" : ""; });
    model.showAll(entries.allEntries());
    ASSERT_EQ(model.size(), 2u);
    EXPECT_EQ(names(model), (std::vector<std::string>{"big.TXT", "README"}));
    EXPECT_EQ(model.text(0, kColSize), "1,200,000");
    EXPECT_EQ(model.text(0, kColRatio), "50%");
    EXPECT_EQ(model.text(0, kColPacked), "600,000");
    EXPECT_EQ(model.text(0, kColType), "Plain text document");
    EXPECT_EQ(model.text(0, kColPath), "docs");
    EXPECT_EQ(model.text(1, kColType), "File");
    EXPECT_EQ(typeTextFor("xyz", ""), "xyz File");
    EXPECT_EQ(entryTimeKey("31-12-99 23:59"), 199912312359);
    EXPECT_EQ(entryTimeKey("01-02-03 04:05"), 200302010405);
    EXPECT_EQ(entryTimeKey("garbage"), 0);
    EXPECT_NE(model.text(0, kColDate).find("23:59"), std::string::npos);
}

TEST(FileListModel, SortTableWithFoldersOnTop) {
    CArchiveEntries entries;
    entries.addEntry(entry("b.txt", 30));
    entries.addEntry(entry("A.txt", 10));
    entries.addEntry(entry("c.txt", 20));
    entries.addEntry(entry("alpha\\x", 1));
    entries.addEntry(entry("Zeta\\y", 1));
    entries.buildTree();
    CFileListModel model;
    model.showNode(entries.root());
    EXPECT_EQ(names(model), (std::vector<std::string>{"alpha", "Zeta", "A.txt", "b.txt", "c.txt"}));

    model.clickColumn(kColName);  // the same column toggles; folders stay on top
    EXPECT_FALSE(model.ascending());
    EXPECT_EQ(names(model), (std::vector<std::string>{"Zeta", "alpha", "c.txt", "b.txt", "A.txt"}));

    // After two clicks on "Name" (descending), "Size" keeps the direction.
    model.clickColumn(kColSize);
    EXPECT_FALSE(model.ascending());
    EXPECT_EQ(names(model), (std::vector<std::string>{"Zeta", "alpha", "b.txt", "c.txt", "A.txt"}));
    model.clickColumn(kColSize);  // ascending; folders still on top, Z to A
    EXPECT_TRUE(model.ascending());
    EXPECT_EQ(names(model), (std::vector<std::string>{"Zeta", "alpha", "A.txt", "c.txt", "b.txt"}));

    model.clickColumn(kColSize);
    model.clickColumn(kColType);  // another text column starts ascending
    EXPECT_TRUE(model.ascending());
    EXPECT_EQ(model.sortColumn(), kColType);

    model.sortBy(kColDate, true);
    EXPECT_EQ(model.row(0).isFolder(), true);
    model.clickColumn(kColDate);
    EXPECT_FALSE(model.ascending());
}

TEST(DropPlan, OpenAddOrRefuse) {
    auto folders = [](const std::string& p) { return p.ends_with("dir"); };
    DropPlan one = planDrop({"/home/me/Backup.ZIP"}, ArchiveKind::OtherLibrary, folders);
    EXPECT_EQ(one.action, DropPlan::Action::OpenArchive);
    EXPECT_EQ(one.archive, "/home/me/Backup.ZIP");

    DropPlan both = planDrop({"/a/x.zip", "/a/notes.txt"}, ArchiveKind::Zip, folders);
    EXPECT_EQ(both.action, DropPlan::Action::Add);
    EXPECT_EQ(both.files, (std::vector<std::string>{"/a/x.zip", "/a/notes.txt"}));

    DropPlan folder = planDrop({"/a/dir"}, ArchiveKind::Zip, folders);
    EXPECT_EQ(folder.action, DropPlan::Action::Add);
    EXPECT_EQ(folder.folders, (std::vector<std::string>{"/a/dir"}));
    EXPECT_TRUE(folder.files.empty());

    // A ".rar" archive (kind 10) takes no files; an archive dropped first still opens.
    EXPECT_EQ(planDrop({"/a/plain.txt"}, ArchiveKind::OtherLibrary, folders).action, DropPlan::Action::Refuse);
    EXPECT_EQ(planDrop({"/a/plain.txt", "/a/b.zip"}, ArchiveKind::Cab, folders).action, DropPlan::Action::Refuse);
    EXPECT_EQ(planDrop({"/a/b.zip", "/a/plain.txt"}, ArchiveKind::OtherLibrary, folders).action, DropPlan::Action::Add);
    EXPECT_TRUE(isArchiveExtension("enc"));
    EXPECT_FALSE(isArchiveExtension("7z"));
}

}  // namespace
}  // namespace quarva::archive
