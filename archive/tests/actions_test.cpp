// The command-line actions, switch by switch, and the list file they read.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include "archive/core/CommandLineActions.h"
#include "archive/core/HiddenActions.h"
#include "archive/core/ListFile.h"
#include "archive/tests/ArchiveTestDoubles.h"
#include "platform/Interrupt.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;

class Actions : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        fs::create_directories(tmpDir());
        listFile = (tmpDir() / "~QuarvaZipTest1234.tmp").string();
        engine->onInvoke = [this](int id, std::int16_t) -> std::int16_t {
            calls.push_back(
                {id, engine->str(dispid::kNames), engine->str(dispid::kArchiveName), fs::current_path().string()});
            return 0;
        };
    }
    bool run(const std::string& sw, const std::string& arg) {
        ActionContext context{*session, sw, arg, ShowState::Maximized};
        return runCommandLineAction(context);
    }
    void writeList(const std::string& text) { quarva::testing::writeFile(listFile, text); }
    std::string makeFile(const std::string& name) {
        auto p = dir() / name;
        fs::create_directories(p.parent_path());
        quarva::testing::writeFile(p, "x");
        return p.string();
    }
    std::string makeFolder(const std::string& name) {
        fs::create_directories(dir() / name);
        return (dir() / name).string();
    }
    struct Call {
        int id;
        std::string names;
        std::string archive;
        std::string workingFolder;
    };
    std::vector<Call> calls;
    std::string listFile;
};

TEST(ListFile, LinesAreReadAsTheyStand) {
    quarva::testing::TempFolder folder;
    std::string exact(259, 'a'), longer(300, 'b');
    quarva::testing::writeFile(folder / "list", exact + "\r\n" + longer + "\r\n\r\nlast");
    auto lines = readListFile(folder / "list");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{exact, longer, "", "last"}));
    EXPECT_FALSE(readListFile(folder / "missing"));
    EXPECT_FALSE(readListFile(folder.path()));
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readListFile(folder / "fifo"));  // and does not wait for a writer
}

// Each switch's list has a shape; anything else is refused as a whole.
TEST(ListFile, ShapeOfEachSwitch) {
    using Lines = std::vector<std::string>;
    struct Case {
        Lines lines;
        ListShape shape;
        const char* problem;  // "" when the list is fine
    };
    const Case cases[] = {
        {{"/a/b.zip", "/a/c"}, ListShape::ArchiveAndItems, ""},
        {{"/a/b.zip", "/a/c", "/a/d"}, ListShape::Pairs, ""},
        {{"/"}, ListShape::Items, ""},
        {{std::string("/") + std::string(258, 'x')}, ListShape::Items, ""},
        {{}, ListShape::Items, "it is empty"},
        {{"/a/b.zip"}, ListShape::ArchiveAndItems, "it names the archive but nothing to add"},
        {{"/a/b.zip"}, ListShape::Pairs, "it names an archive but no destination folder"},
        {{"/a/b.zip", "", "/a/c"}, ListShape::Pairs, "line 2 is empty"},
        {{"/a/b.zip", "home/victim"}, ListShape::Pairs, "line 2 is not a full path"},
        {{"/a/b.zip", "-rf"}, ListShape::ArchiveAndItems, "line 2 is not a full path"},
        {{"/a/b\r/home/victim"}, ListShape::Items, "line 1 holds a control character"},
        {{std::string("/a\0/b", 5)}, ListShape::Items, "line 1 holds a control character"},
        {{std::string("/") + std::string(259, 'x')}, ListShape::Items, "line 1 is longer than 259 characters"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listShapeProblem(c.lines, c.shape), c.problem) << (c.lines.empty() ? "" : c.lines[0]);
}

TEST(ListFile, FoldersToldFromFiles) {
    quarva::testing::TempFolder folder;
    fs::create_directories(folder / "sub");
    auto split = splitFoldersAndFiles(
        {(folder / "arch.zip").string(), (folder / "sub").string(), (folder / "f.txt").string()}, 1);
    EXPECT_EQ(split.folders, (std::vector<std::string>{(folder / "sub").string()}));
    EXPECT_EQ(split.files, (std::vector<std::string>{(folder / "f.txt").string()}));
}

TEST_F(Actions, NoAddDialogAddsFilesThenFoldersUnattended) {
    std::string f1 = makeFile("in/a.txt"), f2 = makeFile("in/b.txt"), d = makeFolder("in/sub");
    std::string target = (dir() / "out.ZIP").string();
    writeList(target + "\r\n" + f1 + "\r\n" + d + "\r\n" + f2 + "\r\n");
    const fs::path cwd = fs::current_path();
    app->archiveKind = ArchiveKind::OtherLibrary;
    EXPECT_FALSE(run("noadddialog", listFile));  // the program ends
    EXPECT_EQ(app->archiveKind, ArchiveKind::Zip);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, dispid::kAdd);
    // Named below the folder that holds them, which is the working folder meanwhile.
    EXPECT_EQ(calls[0].names, "a.txt\r\nb.txt\r\n");
    EXPECT_EQ(calls[0].workingFolder, (dir() / "in").string());
    EXPECT_EQ(calls[0].archive, target);
    EXPECT_EQ(calls[1].names, "sub/*\r\n");
    EXPECT_EQ(calls[1].workingFolder, (dir() / "in").string());
    EXPECT_EQ(fs::current_path(), cwd);
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

TEST_F(Actions, NoAddDialogWithAFolderOnlyMakesOneAdd) {
    std::string d = makeFolder("photos");
    writeList((dir() / "photos.zip").string() + "\r\n" + d);
    run("noadddialog", listFile);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].names, "photos/*\r\n");
    EXPECT_EQ(calls[0].workingFolder, dir().string());
}

TEST_F(Actions, NoAddDialogForALibraryFormat) {
    std::string f = makeFile("a.txt");
    writeList((dir() / "x.tar").string() + "\r\n" + f);
    run("noadddialog", listFile);
    EXPECT_EQ(app->archiveKind, ArchiveKind::Library);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "CompressFile");
    EXPECT_EQ(library->calls[0].args,
              (std::vector<std::string>{(dir() / "x.tar").string(), "\"a.txt\"", "", "0", "0", "1", "1"}));
}

// Items from several folders are named below the deepest folder that holds them all.
TEST_F(Actions, NoAddDialogNamesItemsBelowTheFolderHoldingThemAll) {
    std::string a = makeFile("Documents/My Folder/a.txt"), b = makeFile("Documents/Other/b.txt");
    writeList((dir() / "out.zip").string() + "\r\n" + a + "\r\n" + b);
    run("noadddialog", listFile);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].names, "My Folder/a.txt\r\nOther/b.txt\r\n");
    EXPECT_EQ(calls[0].workingFolder, (dir() / "Documents").string());
    // A folder named with a trailing separator is still the folder itself.
    calls.clear();
    writeList((dir() / "out.zip").string() + "\r\n" + (dir() / "Documents" / "My Folder").string() + "/");
    run("noadddialog", listFile);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].names, "My Folder/*\r\n");
    EXPECT_EQ(calls[0].workingFolder, (dir() / "Documents").string());
}

// The list the shell extension handed over is removed once read; a list named on
// the command line that the shell extension did not make is left alone.
TEST_F(Actions, HandedOverListIsRemovedOnceRead) {
    writeList((dir() / "r.zip").string() + "\r\n" + makeFile("r.doc"));
    run("noadddialog", listFile);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_FALSE(fs::exists(listFile));
    const std::string own = makeFile("my-list.txt");
    quarva::testing::writeFile(own, (dir() / "r.zip").string() + "\r\n" + makeFile("r.doc"));
    run("noadddialog", own);
    EXPECT_TRUE(fs::exists(own));
    // A misshapen hand-over goes too.
    writeList("relative\r\n");
    run("add", listFile);
    EXPECT_FALSE(fs::exists(listFile));
}

// A list that does not have the shape its switch expects does nothing at all, and
// says why.
TEST_F(Actions, MisshapenListIsRefusedWithAClearMessage) {
    const std::string zip = makeFile("a.zip"), home = makeFolder("victim");
    struct Case {
        const char* sw;
        std::string list;
    };
    const Case cases[] = {
        {"noextractdialog", zip + "\r\n\r\n" + zip + "\r\n" + home},
        {"noextractdialog", zip + "\r\nvictim"},
        {"noadddialog", zip + "\r\n"},
        {"zipandmail", zip + "\r\n" + home + "\rx"},
        {"add", "\r\n"},
        {"addX", zip},
    };
    for (const auto& c : cases) {
        writeList(c.list);
        run(c.sw, listFile);
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(library->calls.empty());
    EXPECT_TRUE(launcher.launches().empty());
    EXPECT_TRUE(frame.addFiles.empty() && frame.addFolders.empty());
    ASSERT_EQ(boxes().size(), std::size(cases));
    EXPECT_EQ(boxes()[0].text,
              "The list of files " + listFile + " cannot be used: line 2 is empty.\nNothing was changed.");
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_NE(boxes()[1].text.find("line 2 is not a full path"), std::string::npos);
}

TEST_F(Actions, NoAddDialogReportsAMissingLibrary) {
    writeList((dir() / "x.cab").string() + "\r\n" + makeFile("a.txt"));
    library->status = code(OutcomeCode::LibraryNotLoaded);
    run("noadddialog", listFile);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Couldn't find one of the components or a dll\n\tAborting Operation");
}

TEST_F(Actions, UnreadableListFileGivesAClearMessageAndChangesNothing) {
    EXPECT_FALSE(run("noadddialog", (dir() / "nope.tmp").string()));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("nope.tmp"), std::string::npos);
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_EQ(boxes()[0].caption, "Quarva.Zip Suite");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(Actions, ZipAndMailAddsThenMails) {
    std::string f = makeFile("r.doc");
    std::string target = (dir() / "r.zip").string();
    writeList(target + "\r\n" + f + "\r\n");
    engine->onInvoke = [&](int, std::int16_t) -> std::int16_t {
        quarva::testing::writeFile(target, "PK");  // the engine writes the archive
        return 0;
    };
    EXPECT_FALSE(run("zipandmail", listFile));
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].argv, (std::vector<std::string>{"xdg-email", "--attach", target}));
}

TEST_F(Actions, MailTakesThePathAndMails) {
    std::string a = makeFile("m.zip");
    EXPECT_FALSE(run("mail", a));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_EQ(app->recentFiles.entries().at(0), a);
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].argv, (std::vector<std::string>{"xdg-email", "--attach", a}));
}

TEST_F(Actions, NoExtractDialogExtractsEachPairAndKeepsTheLastDestination) {
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

TEST_F(Actions, NoExtractDialogWithoutAnyDestinationWritesNothing) {
    writeList(makeFile("lonely.zip"));
    run("noextractdialog", listFile);
    EXPECT_TRUE(calls.empty());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("no destination folder"), std::string::npos);
}

TEST_F(Actions, NewShowsTheWindowOnly) {
    EXPECT_TRUE(run("new", ""));
    EXPECT_EQ(frame.log, (std::vector<std::string>{"show:3"}));
}

TEST_F(Actions, OpenShowsAndOpensUnderOpening) {
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("open", a));
    EXPECT_TRUE(frame.has("show:3"));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Opening...", "<closed>"}));
}

TEST_F(Actions, NoSwitchWithAPathOpensIt) {
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("", a));
    EXPECT_TRUE(session->doc.open);
    EXPECT_TRUE(run("", ""));
}

TEST_F(Actions, OpenOfAMissingArchiveReportsAndKeepsRunning) {
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 100; };
    EXPECT_TRUE(run("open", (dir() / "missing.zip").string()));
    EXPECT_FALSE(session->doc.open);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Archive Not Found");
}

TEST_F(Actions, SwitchesAreCaseSensitive) {
    std::string a = makeFile("o.zip");
    EXPECT_TRUE(run("Open", a));
    EXPECT_TRUE(frame.log.empty());
    EXPECT_FALSE(session->doc.open);
    EXPECT_TRUE(run("NOADDDIALOG", listFile));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(run("whatever", a));
}

TEST_F(Actions, AddStartsTheAddCommandWithBothLists) {
    std::string f = makeFile("a.txt"), d = makeFolder("d");
    writeList(f + "\r\n" + d + "\r\n");
    EXPECT_TRUE(run("add", listFile));
    EXPECT_TRUE(frame.has("show:3"));
    EXPECT_EQ(frame.addFolders, (std::vector<std::string>{d}));
    EXPECT_EQ(frame.addFiles, (std::vector<std::string>{f}));
}

TEST_F(Actions, AddXOpensTheFirstLineThenAdds) {
    std::string a = makeFile("target.zip"), f = makeFile("a.txt");
    writeList(a + "\r\n" + f + "\r\n");
    EXPECT_TRUE(run("addX", listFile));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_TRUE(session->doc.open);
    EXPECT_EQ(frame.addFiles, (std::vector<std::string>{f}));
    EXPECT_TRUE(frame.addFolders.empty());
}

TEST_F(Actions, AddXWithANewArchiveCreatesIt) {
    std::string f = makeFile("a.txt");
    std::string a = (dir() / "fresh.zip").string();
    writeList(a + "\r\n" + f);
    EXPECT_TRUE(run("addX", listFile));
    EXPECT_EQ(session->doc.archivePath, a);
    EXPECT_TRUE(calls.empty());  // nothing to list yet
    EXPECT_TRUE(frame.has("add"));
}

TEST_F(Actions, ExtractOpensThenRunsTheExtractCommand) {
    std::string a = makeFile("e.zip");
    EXPECT_TRUE(run("extract", a));
    EXPECT_EQ(frame.log.back(), "extract");
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 110; };
    frame.log.clear();
    EXPECT_TRUE(run("extract", makeFile("bad.zip")));
    EXPECT_FALSE(frame.has("extract"));
}

TEST_F(Actions, FindInZipReleasesTheImageListsAndEnds) {
    frame.findInZip = true;
    EXPECT_FALSE(run("findinzip", ""));
    EXPECT_EQ(frame.log, (std::vector<std::string>{"release-images", "findinzip"}));
    EXPECT_TRUE(boxes().empty());
    frame.findInZip = false;
    EXPECT_FALSE(run("findinzip", ""));
    ASSERT_EQ(boxes().size(), 1u);
}

TEST_F(Actions, SfxKeepsTheProposedNameOnNo) {
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

TEST_F(Actions, SfxYesAsksForTheName) {
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

TEST_F(Actions, SfxCancelOrCancelledChooserDoesNothing) {
    std::string a = makeFile("pack.zip");
    prompts.queue(Answer::Cancel);
    run("SFX", a);
    prompts.queue(Answer::Yes);
    prompts.queueFile(std::nullopt);
    run("SFX", a);
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(Actions, SfxWithoutTheLibrary) {
    std::string a = makeFile("pack.zip");
    library->status = code(OutcomeCode::LibraryNotLoaded);
    prompts.queue(Answer::No);
    run("SFX", a);
    library->status = code(OutcomeCode::LibraryNoEntryPoint);
    prompts.queue(Answer::No);
    run("SFX", a);
    auto b = boxes();
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[1].text, "Dll Not loaded");
    EXPECT_EQ(b[1].buttons, Buttons::Ok);
    EXPECT_EQ(b[3].text, "Proc not found");
}

TEST_F(Actions, RecentEntryThatMovedIsReportedAndDropped) {
    std::string gone = (dir() / "moved.zip").string();
    app->recentPaths = {gone};
    EXPECT_FALSE(actions::openRecent(*session, gone));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Cannot Open " + gone + " - File has been moved or deleted");
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_TRUE(app->recentPaths.empty());
    EXPECT_TRUE(frame.has("unrecent:" + gone));
}

TEST_F(Actions, RecentEntryOfTheOpenArchiveDoesNothing) {
    std::string a = makeFile("r.zip");
    EXPECT_TRUE(actions::openRecent(*session, a));
    auto texts = busy.texts().size();
    EXPECT_TRUE(actions::openRecent(*session, a));
    EXPECT_EQ(busy.texts().size(), texts);
    EXPECT_EQ(calls.size(), 1u);
}

// Ctrl-C during an unattended add cancels the running operation as "Cancel" would
// (the engine's abort, the library's Abort), and nothing after it starts.
class InterruptedActions : public Actions {
protected:
    // Raises SIGINT, then waits (boundedly) until the watcher has cancelled.
    static bool interruptAndWait(const std::atomic<bool>& cancelled) {
        std::raise(SIGINT);
        for (int i = 0; i < 3000 && !cancelled; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return cancelled;
    }
    void SetUp() override {
        Actions::SetUp();
        platform::installInterruptHandlers();
        platform::clearInterrupt();
    }
    void TearDown() override {
        platform::clearInterrupt();
        Actions::TearDown();
    }
};

TEST_F(InterruptedActions, EngineAddIsAbortedAndTheFolderAddNeverStarts) {
    // The abort is set from the watcher's thread while the method runs.
    struct WatchedEngine : FakeEngine {
        std::mutex mutex;
        std::atomic<bool> aborted{false};
        bool setProperty(int id, const EngineValue& value) override {
            std::lock_guard lock(mutex);
            if (id == dispid::kAbort && std::get_if<bool>(&value) && std::get<bool>(value)) aborted = true;
            return FakeEngine::setProperty(id, value);
        }
        EngineValue getProperty(int id) override {
            std::lock_guard lock(mutex);
            return FakeEngine::getProperty(id);
        }
    };
    auto owned = std::make_unique<WatchedEngine>();
    WatchedEngine* watched = owned.get();
    CArchiveSession s(*app, launcher, std::move(owned), std::make_unique<FakeLibrary>());
    auto watching = createInterruptWatchingBusyFactory(s);
    s.busyFactory = watching.get();
    int invokes = 0;
    watched->onInvoke = [&](int, std::int16_t) -> std::int16_t {
        ++invokes;
        return interruptAndWait(watched->aborted) ? 190 : 0;
    };
    writeList((dir() / "out.zip").string() + "\r\n" + makeFile("in/a.txt") + "\r\n" + makeFolder("in/sub"));
    EXPECT_FALSE(actions::unattendedAdd(s, listFile));
    EXPECT_TRUE(watched->aborted);
    EXPECT_EQ(invokes, 1);
}

TEST_F(InterruptedActions, LibraryAddIsAborted) {
    struct WatchedLibrary : FakeLibrary {
        std::atomic<bool> aborted{false};
        int abort() override {
            aborted = true;
            return code(OutcomeCode::Ok);
        }
    };
    auto owned = std::make_unique<WatchedLibrary>();
    WatchedLibrary* watched = owned.get();
    CArchiveSession s(*app, launcher, std::make_unique<FakeEngine>(), std::move(owned));
    auto watching = createInterruptWatchingBusyFactory(s);
    s.busyFactory = watching.get();
    watched->onCall = [&](const FakeLibrary::Call& call, platform::WindowHandle) {
        if (call.entry == "CompressFile") interruptAndWait(watched->aborted);
    };
    writeList((dir() / "out.tar").string() + "\r\n" + makeFile("in/a.txt"));
    actions::unattendedAdd(s, listFile);
    EXPECT_TRUE(watched->aborted);
}

}  // namespace
}  // namespace quarva::archive
