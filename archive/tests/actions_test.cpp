// The command-line actions, switch by switch, and the list file they read.

#include <gtest/gtest.h>

#include "archive/core/CommandLineActions.h"
#include "archive/core/ListFile.h"
#include "archive/tests/ArchiveTestDoubles.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;
using platform::Answer;
using platform::Buttons;
using platform::Icon;
namespace fs = std::filesystem;

class Actions : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        fs::create_directories(tmpDir());
        listFile = (tmpDir() / kListFileName).string();
        engine->onInvoke = [this](int id, std::int16_t) -> std::int16_t {
            calls.push_back({id, engine->str(dispid::kNames), engine->str(dispid::kArchiveName)});
            return 0;
        };
    }
    bool run(const std::string& sw, const std::string& arg)
    {
        ActionContext context{*session, sw, arg, 3};
        return runCommandLineAction(context);
    }
    void writeList(const std::string& text) { quarva::testing::writeFile(listFile, text); }
    std::string makeFile(const std::string& name)
    {
        auto p = dir() / name;
        fs::create_directories(p.parent_path());
        quarva::testing::writeFile(p, "x");
        return p.string();
    }
    std::string makeFolder(const std::string& name)
    {
        fs::create_directories(dir() / name);
        return (dir() / name).string();
    }
    struct Call {
        int id;
        std::string names;
        std::string archive;
    };
    std::vector<Call> calls;
    std::string listFile;
};

TEST(ListFile, LinesUpTo259CharactersAreWholeLongerOnesSplit)
{
    quarva::testing::TempFolder folder;
    std::string exact(259, 'a'), longer(300, 'b');
    quarva::testing::writeFile(folder / "list", exact + "\r\n" + longer + "\r\nlast");
    auto lines = readListFile(folder / "list");
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 4u);
    EXPECT_EQ((*lines)[0], exact);
    EXPECT_EQ((*lines)[1], std::string(259, 'b'));
    EXPECT_EQ((*lines)[2], std::string(41, 'b'));
    EXPECT_EQ((*lines)[3], "last");
    EXPECT_FALSE(readListFile(folder / "missing"));
    EXPECT_FALSE(readListFile(folder.path()));
}

TEST(ListFile, FoldersToldFromFiles)
{
    quarva::testing::TempFolder folder;
    fs::create_directories(folder / "sub");
    auto split = splitFoldersAndFiles({(folder / "arch.zip").string(), (folder / "sub").string(),
                                       (folder / "f.txt").string()},
                                      1);
    EXPECT_EQ(split.folders, (std::vector<std::string>{(folder / "sub").string()}));
    EXPECT_EQ(split.files, (std::vector<std::string>{(folder / "f.txt").string()}));
}

TEST_F(Actions, NoAddDialogAddsFilesThenFoldersUnattended)
{
    std::string f1 = makeFile("in/a.txt"), f2 = makeFile("in/b.txt"), d = makeFolder("in/sub");
    std::string target = (dir() / "out.ZIP").string();
    writeList(target + "\r\n" + f1 + "\r\n" + d + "\r\n" + f2 + "\r\n");
    app->archiveKind = 10;
    EXPECT_FALSE(run("noadddialog", listFile));  // the program ends
    EXPECT_EQ(app->archiveKind, 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, dispid::kAdd);
    EXPECT_EQ(calls[0].names, f1 + "\r\n" + f2 + "\r\n");
    EXPECT_EQ(calls[0].archive, target);
    EXPECT_EQ(calls[1].names, d + "/*\r\n");
    EXPECT_EQ(engine->num(dispid::kLevel), 5);
    EXPECT_FALSE(engine->flag(dispid::kIncludeHidden));
    EXPECT_TRUE(engine->flag(dispid::kRecurse));
    EXPECT_TRUE(engine->flag(dispid::kSavePathInfo));
    EXPECT_FALSE(engine->flag(dispid::kSpanning));
    EXPECT_FALSE(engine->flag(dispid::kWipeDisk));
    EXPECT_FALSE(engine->flag(dispid::kDeleteAfterAdding));
    EXPECT_EQ(engine->invokes[0].second, 0);  // add and replace
    EXPECT_EQ(app->recentFiles.entries().at(0), target);
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(frame.has("show:3"));  // hidden
}

TEST_F(Actions, NoAddDialogWithAFolderOnlyMakesOneAdd)
{
    std::string d = makeFolder("photos");
    writeList((dir() / "photos.zip").string() + "\r\n" + d);
    run("noadddialog", listFile);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].names, d + "/*\r\n");
}

TEST_F(Actions, NoAddDialogForALibraryFormat)
{
    std::string f = makeFile("a.txt");
    writeList((dir() / "x.tar").string() + "\r\n" + f);
    run("noadddialog", listFile);
    EXPECT_EQ(app->archiveKind, 2);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "CompressFile");
    EXPECT_EQ(library->calls[0].args,
              (std::vector<std::string>{(dir() / "x.tar").string(), "\"" + f + "\"", "", "0", "0", "1", "1"}));
}

TEST_F(Actions, NoAddDialogReportsAMissingLibrary)
{
    writeList((dir() / "x.cab").string() + "\r\n" + makeFile("a.txt"));
    library->status = kLibraryNotLoaded;
    run("noadddialog", listFile);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Couldn't find one of the components or a dll\n\tAborting Operation");
}

TEST_F(Actions, UnreadableListFileGivesAClearMessageAndChangesNothing)
{
    EXPECT_FALSE(run("noadddialog", (dir() / "nope.tmp").string()));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("nope.tmp"), std::string::npos);
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_EQ(boxes()[0].caption, "Quarva.Zip Suite");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(Actions, ZipAndMailAddsThenMails)
{
    std::string f = makeFile("r.doc");
    std::string target = (dir() / "r.zip").string();
    writeList(target + "\r\n" + f + "\r\n");
    engine->onInvoke = [&](int, std::int16_t) -> std::int16_t {
        quarva::testing::writeFile(target, "PK");  // the engine writes the archive
        return 0;
    };
    EXPECT_FALSE(run("zipandmail", listFile));
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].commandLine, "xdg-email --attach \"" + target + "\"");
}

TEST_F(Actions, MailTakesThePathAndMails)
{
    std::string a = makeFile("m.zip");
    EXPECT_FALSE(run("mail", a));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_EQ(app->recentFiles.entries().at(0), a);
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].commandLine, "xdg-email --attach \"" + a + "\"");
}

TEST_F(Actions, NoExtractDialogExtractsEachPairAndKeepsTheLastDestination)
{
    std::string a1 = makeFile("one.zip"), a2 = makeFile("two.zip"), a3 = makeFile("three.tar");
    std::string d1 = (dir() / "dest1").string(), d2 = (dir() / "dest2").string();
    writeList(a1 + "\r\n" + d1 + "\r\n" + a2 + "\r\n" + d2 + "\r\n" + a3 + "\r\n");
    EXPECT_FALSE(run("noextractdialog", listFile));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, dispid::kExtract);
    EXPECT_EQ(calls[0].names, "*\r\n");
    EXPECT_EQ(calls[0].archive, a1);
    EXPECT_EQ(calls[1].archive, a2);
    EXPECT_EQ(engine->str(dispid::kExtractFolder), d2);
    EXPECT_EQ(engine->num(dispid::kOverwrite), 1);
    EXPECT_TRUE(engine->flag(dispid::kSavePathInfo));
    EXPECT_TRUE(engine->flag(dispid::kSpanning));  // the removable flag is set
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "ExtractFile");
    EXPECT_EQ(library->calls[0].args, (std::vector<std::string>{a3, "\"*\"", d2, "1", "1"}));
    EXPECT_TRUE(fs::is_directory(d1));
}

TEST_F(Actions, NoExtractDialogWithoutAnyDestinationWritesNothing)
{
    writeList(makeFile("lonely.zip"));
    run("noextractdialog", listFile);
    EXPECT_TRUE(calls.empty());
    ASSERT_EQ(boxes().size(), 1u);
}

TEST_F(Actions, NewShowsTheWindowOnly)
{
    EXPECT_TRUE(run("new", ""));
    EXPECT_EQ(frame.log, (std::vector<std::string>{"show:3"}));
}

TEST_F(Actions, OpenShowsAndOpensUnderOpening)
{
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("open", a));
    EXPECT_TRUE(frame.has("show:3"));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Opening...", "<closed>"}));
}

TEST_F(Actions, NoSwitchWithAPathOpensIt)
{
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("", a));
    EXPECT_EQ(session->doc.open, 1);
    EXPECT_TRUE(run("", ""));
}

TEST_F(Actions, OpenOfAMissingArchiveReportsAndKeepsRunning)
{
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 100; };
    EXPECT_TRUE(run("open", (dir() / "missing.zip").string()));
    EXPECT_EQ(session->doc.open, 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Archive Not Found");
}

TEST_F(Actions, SwitchesAreCaseSensitive)
{
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("Open", a));
    EXPECT_TRUE(frame.log.empty());
    EXPECT_EQ(session->doc.open, 0);
    EXPECT_TRUE(run("NOADDDIALOG", listFile));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(run("whatever", a));
}

TEST_F(Actions, AddStartsTheAddCommandWithBothLists)
{
    std::string f = makeFile("a.txt"), d = makeFolder("d");
    writeList(f + "\r\n" + d + "\r\n");
    EXPECT_TRUE(run("add", listFile));
    EXPECT_TRUE(frame.has("show:3"));
    EXPECT_EQ(frame.addFolders, (std::vector<std::string>{d}));
    EXPECT_EQ(frame.addFiles, (std::vector<std::string>{f}));
}

TEST_F(Actions, AddXOpensTheFirstLineThenAdds)
{
    std::string a = makeFile("target.zip"), f = makeFile("a.txt");
    writeList(a + "\r\n" + f + "\r\n");
    EXPECT_TRUE(run("addX", listFile));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_EQ(session->doc.open, 1);
    EXPECT_EQ(frame.addFiles, (std::vector<std::string>{f}));
    EXPECT_TRUE(frame.addFolders.empty());
}

TEST_F(Actions, AddXWithANewArchiveCreatesIt)
{
    std::string f = makeFile("a.txt");
    std::string a = (dir() / "fresh.zip").string();
    writeList(a + "\r\n" + f);
    EXPECT_TRUE(run("addX", listFile));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_TRUE(calls.empty());  // nothing to list yet
    EXPECT_TRUE(frame.has("add"));
}

TEST_F(Actions, ExtractOpensThenRunsTheExtractCommand)
{
    std::string a = makeFile("e.zip");
    EXPECT_TRUE(run("extract", a));
    EXPECT_EQ(frame.log.back(), "extract");
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 110; };
    frame.log.clear();
    EXPECT_TRUE(run("extract", makeFile("bad.zip")));
    EXPECT_FALSE(frame.has("extract"));
}

TEST_F(Actions, FindInZipReleasesTheImageListsAndEnds)
{
    frame.findInZip = true;
    EXPECT_FALSE(run("findinzip", ""));
    EXPECT_EQ(frame.log, (std::vector<std::string>{"release-images", "findinzip"}));
    EXPECT_TRUE(boxes().empty());
    frame.findInZip = false;
    EXPECT_FALSE(run("findinzip", ""));
    ASSERT_EQ(boxes().size(), 1u);
}

TEST_F(Actions, SfxKeepsTheProposedNameOnNo)
{
    std::string a = makeFile("pack.zip");
    app->installedPath = "/opt/quarva";
    prompts.queue(Answer::No);
    EXPECT_FALSE(run("SFX", a));
    ASSERT_EQ(boxes().size(), 1u);
    auto box = boxes()[0];
    std::string exe = (dir() / "pack.exe").string();
    EXPECT_EQ(box.text, "Quarva.Zip Suite will save the file as " + exe + "\n Do you want to change it ?");
    EXPECT_EQ(box.buttons, Buttons::YesNoCancel);
    EXPECT_EQ(box.icon, Icon::Question);
    EXPECT_EQ(box.defaultButton, 1);  // "No"
    EXPECT_EQ(box.caption, "Quarva.Zip Suite");
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].args, (std::vector<std::string>{a, exe, "/opt/quarva"}));
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Converting...", "<closed>"}));
    EXPECT_TRUE(busy.shared->cancelHidden);
}

TEST_F(Actions, SfxYesAsksForTheName)
{
    std::string a = makeFile("pack.zip");
    prompts.queue(Answer::Yes);
    prompts.queueFile(dir() / "other");
    run("SFX", a);
    ASSERT_EQ(prompts.files().size(), 1u);
    EXPECT_EQ(prompts.files()[0].filter, "Self Extracting Exe (*.exe)|*.exe|All Files (*.*)|*.*||");
    EXPECT_EQ(prompts.files()[0].kind, platform::FileRequest::Kind::Save);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].args[1], (dir() / "other.exe").string());
}

TEST_F(Actions, SfxCancelOrCancelledChooserDoesNothing)
{
    std::string a = makeFile("pack.zip");
    prompts.queue(Answer::Cancel);
    run("SFX", a);
    prompts.queue(Answer::Yes);
    prompts.queueFile(std::nullopt);
    run("SFX", a);
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(Actions, SfxWithoutTheLibrary)
{
    std::string a = makeFile("pack.zip");
    library->status = kLibraryNotLoaded;
    prompts.queue(Answer::No);
    run("SFX", a);
    library->status = kLibraryNoEntryPoint;
    prompts.queue(Answer::No);
    run("SFX", a);
    auto b = boxes();
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[1].text, "Dll Not loaded");
    EXPECT_EQ(b[1].buttons, Buttons::Ok);
    EXPECT_EQ(b[3].text, "Proc not found");
}

TEST_F(Actions, RecentEntryThatMovedIsReportedAndDropped)
{
    std::string gone = (dir() / "moved.zip").string();
    app->recentPaths = {gone};
    EXPECT_FALSE(actions::openRecent(*session, gone));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Cannot Open " + gone + " - File has been moved or deleted");
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_TRUE(app->recentPaths.empty());
    EXPECT_TRUE(frame.has("unrecent:" + gone));
}

TEST_F(Actions, RecentEntryOfTheOpenArchiveDoesNothing)
{
    std::string a = makeFile("r.zip");
    EXPECT_TRUE(actions::openRecent(*session, a));
    auto texts = busy.texts().size();
    EXPECT_TRUE(actions::openRecent(*session, a));
    EXPECT_EQ(busy.texts().size(), texts);
    EXPECT_EQ(calls.size(), 1u);
}

}  // namespace
}  // namespace quarva::archive
