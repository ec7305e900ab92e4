// The engine wrapper's operations through both engines: what each one sets, the
// activity-log headers, the name lists, the log offers, and the edge cases.

#include <gtest/gtest.h>

#include "archive/tests/ArchiveTestDoubles.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;

class Wrapper : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        wrapper().setArchiveName("/data/a.zip");
    }
    CEngineWrapper& wrapper() { return session->doc.wrapper(); }
};

TEST_F(Wrapper, NameListShapes) {
    EXPECT_EQ(engineNameList({"a.txt", "d\\b.txt"}), "a.txt\r\nd\\b.txt\r\n");
    EXPECT_EQ(libraryNameList({"a.txt", "d\\b.txt"}), "\"a.txt\"|\"d\\b.txt\"");
    EXPECT_EQ(withWildcard({"C:\\", "C:\\x"}, "*", '\\'), (std::vector<std::string>{"C:\\*", "C:\\x\\*"}));
    EXPECT_EQ(withWildcard({"/", "/home/u"}, "*", '/'), (std::vector<std::string>{"/*", "/home/u/*"}));
}

TEST_F(Wrapper, EngineListingWithFilters) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [&](int id, std::int16_t) -> std::int16_t {
        EXPECT_EQ(id, dispid::kList);
        EXPECT_EQ(state().kind, OperationKind::List);
        engine->sink().onEngineEntry(dispid::kEventListed, entry("a.txt"));
        engine->sink().onEngineEntry(dispid::kEventListed, entry("docs\\b.txt"));
        return 0;
    };
    session->flags.removable = true;
    EXPECT_EQ(wrapper().listArchive("/data/a.zip", {"*.txt", "*.doc"}), 0);
    EXPECT_EQ(engine->str(dispid::kNames), "*.txt\r\n*\\*.txt\r\n*.doc\r\n*\\*.doc\r\n");
    EXPECT_EQ(engine->str(dispid::kArchiveName), "/data/a.zip");
    EXPECT_TRUE(engine->flag(dispid::kSpanning));
    EXPECT_EQ(session->doc.entries().entryCount(), 2u);
}

TEST_F(Wrapper, EngineListingWithoutFilterSelectsEverything) {
    app->archiveKind = ArchiveKind::Zip;
    wrapper().listArchive("/data/a.zip", {});
    EXPECT_EQ(engine->str(dispid::kNames), "*\r\n");
    wrapper().listArchive("/data/a.zip", {"*.*"});
    EXPECT_EQ(engine->str(dispid::kNames), "*\r\n");
}

TEST_F(Wrapper, EngineListingErrorIsReturned) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 110; };
    EXPECT_EQ(wrapper().listArchive("/data/a.zip", {}), 110);
    EXPECT_TRUE(boxes().empty());  // the document reports it
}

TEST_F(Wrapper, LibraryListingJoinsFiltersAndRoutesRecords) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        LibraryMessages::listed(w, "x\\SETUP.EXE", 10);
        LibraryMessages::listed(w, "dir\\", 0);
    };
    EXPECT_EQ(wrapper().listArchive("/data/a.rar", {"*.txt", "*.exe"}), 0);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "ListArchive");
    EXPECT_EQ(library->calls[0].args, (std::vector<std::string>{"/data/a.rar", "*.txt|*.exe"}));
    EXPECT_EQ(session->doc.entries().entryCount(), 1u);
    EXPECT_TRUE(session->doc.installer);
    wrapper().listArchive("/data/a.rar", {});
    EXPECT_EQ(library->calls[1].args[1], "*.*");
}

TEST_F(Wrapper, LibraryListingWithAnErrorAsksAndReturns1100) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        LibraryMessages::listed(w, "good.txt", 10);
        LibraryMessages::error(w, "bad.txt", "bad.txt", "header damaged", "");
    };
    prompts.queue(Answer::Yes);
    EXPECT_EQ(wrapper().listArchive("/data/a.tar", {}), 1100);
    EXPECT_EQ(session->doc.entries().entryCount(), 1u);  // entries received so far stay
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "An error occurred while listing.\n\tDo you want to see the log ?");
    EXPECT_EQ(boxes()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_TRUE(frame.has("showlog"));
    EXPECT_EQ(activityLog(), "Error Listing file bad.txt\r\nCause : header damaged");
}

TEST_F(Wrapper, LibraryMissingOrWithoutEntryPoint) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    library->status = code(OutcomeCode::LibraryNotLoaded);
    EXPECT_EQ(wrapper().listArchive("/data/a.tar", {}), 1000);
    library->status = code(OutcomeCode::LibraryNoEntryPoint);
    EXPECT_EQ(wrapper().addFiles({}, {"/x"}), 1010);
    EXPECT_TRUE(boxes().empty());  // returned to the caller, which reports it
}

TEST_F(Wrapper, EngineAddSetsEverythingAndWritesTheHeader) {
    app->archiveKind = ArchiveKind::Zip;
    activityLog() = "old text";
    engine->onInvoke = [&](int id, std::int16_t action) -> std::int16_t {
        EXPECT_EQ(id, dispid::kAdd);
        EXPECT_EQ(action, 2);
        EXPECT_EQ(state().kind, OperationKind::Add);
        EXPECT_NE(state().busy, nullptr);
        engine->sink().onEngineEntry(dispid::kEventProcessed, entry("data\\f.txt"));
        engine->sink().onEngineSkipped("/data/locked.txt", 8);
        return 0;
    };
    AddOptions o;
    o.action = 2;
    o.level = 9;
    o.includeHidden = true;
    o.includeSubfolders = false;
    o.savePathInfo = true;
    o.spanning = true;
    o.wipeDisk = true;
    EXPECT_EQ(wrapper().addFiles(o, {"/data/f.txt", "/data/locked.txt"}), 0);
    EXPECT_EQ(engine->str(dispid::kArchiveName), "/data/a.zip");
    EXPECT_EQ(engine->num(dispid::kLevel), 9);
    EXPECT_TRUE(engine->flag(dispid::kIncludeHidden));
    EXPECT_FALSE(engine->flag(dispid::kDeleteAfterAdding));
    EXPECT_TRUE(engine->flag(dispid::kSpanning));
    EXPECT_TRUE(engine->flag(dispid::kWipeDisk));
    EXPECT_FALSE(engine->flag(dispid::kRecurse));
    EXPECT_TRUE(engine->flag(dispid::kSavePathInfo));
    EXPECT_EQ(engine->str(dispid::kNames), "/data/f.txt\r\n/data/locked.txt\r\n");
    EXPECT_EQ(activityLog(),
              "Action: Add (and replace) files \r\nInclude hidden files : Yes\r\nInclude Subfolders : No\r\n"
              "Save Path Info : Yes\r\nFile : data\\f.txt : OK\r\nSkiping File : /data/locked.txt\r\n");
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Adding file\ndata\\f.txt",
                                                      "Adding file\n/data/locked.txt", "<closed>"}));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Wrapper, EngineAddFailureShowsTheOutcomeWithTheLogOffer) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [&](int, std::int16_t) -> std::int16_t {
        EXPECT_EQ(busy.shared->open, 1);
        return 150;
    };
    prompts.queue(Answer::No);
    EXPECT_EQ(wrapper().addFiles({}, {"/x"}), 150);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Disk out of Space\nDo you want to see the log file ?");
    EXPECT_EQ(busy.shared->open, 0);  // the busy dialog was gone before the box
}

TEST_F(Wrapper, AddingTheRootFolderWithAWildcardHasOneSeparator) {
    app->archiveKind = ArchiveKind::Zip;
    wrapper().addFolders({}, {"/"}, "*");
    EXPECT_EQ(engine->str(dispid::kNames), "/*\r\n");
    app->archiveKind = ArchiveKind::NewLibrary;
    wrapper().addFolders({}, {"/"}, "*");
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].args[1], "\"/*\"");
}

TEST_F(Wrapper, LibraryAddPassesTheEnginePasswordAndKeepsTheLog) {
    app->archiveKind = ArchiveKind::NewLibrary;
    activityLog() = "earlier\r\n";
    engine->properties[dispid::kPassword] = std::string("pw");
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        LibraryMessages::error(w, "", "/d/x.txt", "cannot read", "");
    };
    prompts.queue(Answer::No);
    AddOptions o;
    o.includeHidden = false;
    o.deleteAfterZipping = true;
    o.savePathInfo = false;
    o.includeSubfolders = true;
    wrapper().setArchiveName("/d/a.tar");
    EXPECT_EQ(wrapper().addFiles(o, {"/d/x.txt", "/d/y.txt"}), 0);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "CompressFile");
    EXPECT_EQ(library->calls[0].args,
              (std::vector<std::string>{"/d/a.tar", "\"/d/x.txt\"|\"/d/y.txt\"", "pw", "0", "1", "0", "1"}));
    EXPECT_EQ(activityLog(), "earlier\r\nError Adding file /d/x.txt\r\nCause : cannot read");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "An error occurred while adding.\n\tDo you want to see the log ?");
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_EQ(boxes()[0].caption, "Quarva.Zip Suite");
}

TEST_F(Wrapper, EngineExtractByWildcardHeader) {
    app->archiveKind = ArchiveKind::Zip;
    session->flags.removable = true;
    state().touchedNames = {"stale"};
    ExtractOptions o;
    o.destination = "/out";
    o.overwrite = 0;
    o.useStoredPaths = true;
    o.mode = 1;
    engine->onInvoke = [&](int id, std::int16_t mode) -> std::int16_t {
        EXPECT_EQ(id, dispid::kExtract);
        EXPECT_EQ(mode, 1);
        return 0;
    };
    EXPECT_EQ(wrapper().extractByWildcard(o, {"docs", "C:\\"}, "*"), 0);
    EXPECT_TRUE(state().touchedNames.empty());
    EXPECT_EQ(engine->str(dispid::kNames), "docs\\*\r\nC:\\*\r\n");
    EXPECT_EQ(engine->str(dispid::kExtractFolder), "/out");
    EXPECT_EQ(engine->num(dispid::kOverwrite), 0);
    EXPECT_TRUE(engine->flag(dispid::kSpanning));
    EXPECT_EQ(activityLog(),
              "Action: Extract files \r\nWildcard: *\r\nExtract Directory : /out\r\n"
              "Overwrite : No\r\nSave Path Info : Yes\r\n");
    wrapper().extractFiles(o, {"a.txt"});
    EXPECT_EQ(activityLog(), "Action: Extract files \r\nOverwrite : No\r\nSave Path Info : Yes\r\n");
}

TEST_F(Wrapper, ExtractWithEmptySelectionCallsNothing) {
    app->archiveKind = ArchiveKind::Zip;
    EXPECT_EQ(wrapper().extractFiles({}, {}), 0);
    app->archiveKind = ArchiveKind::OtherLibrary;
    EXPECT_EQ(wrapper().extractFiles({}, {}), 0);
    EXPECT_TRUE(engine->invokes.empty());
    EXPECT_TRUE(library->calls.empty());
    EXPECT_TRUE(busy.texts().empty());
}

TEST_F(Wrapper, LibraryExtractOfGzAlwaysPassesEverything) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    ExtractOptions o;
    o.destination = "/out";
    wrapper().setArchiveName("/d/data.gz");
    wrapper().extractFiles(o, {"data"});
    wrapper().setArchiveName("/d/data.tar");
    wrapper().extractFiles(o, {"a", "b\\c"});
    ASSERT_EQ(library->calls.size(), 2u);
    EXPECT_EQ(library->calls[0].args, (std::vector<std::string>{"/d/data.gz", "*.*", "/out", "1", "1"}));
    EXPECT_EQ(library->calls[1].args[1], "\"a\"|\"b\\c\"");
}

TEST_F(Wrapper, LibraryExtractErrorOffersTheLog) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        LibraryMessages::error(w, "", "a", "c1", "");
        LibraryMessages::error(w, "", "b", "c2", "d2");
    };
    prompts.queue(Answer::Yes);
    wrapper().extractFiles({}, {"a", "b"});
    EXPECT_EQ(activityLog(),
              "Error Extracting file a\r\nCause : c1Error Extracting file b\r\nCause : c2\r\nDetails : d2");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "An error occurred while extracting.\n\tDo you want to see the log ?");
    EXPECT_TRUE(frame.has("showlog"));
}

TEST_F(Wrapper, TwoOperationsInARowLogOnlyTheSecond) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [&](int id, std::int16_t) -> std::int16_t {
        if (id == dispid::kTest) engine->sink().onEngineEntry(dispid::kEventTested, entry("t.txt"));
        if (id == dispid::kDelete) engine->sink().onEngineDeleted("t.txt");
        return 0;
    };
    wrapper().testFiles({"t.txt"});
    wrapper().deleteFiles({"t.txt"});
    EXPECT_EQ(activityLog(), "Action: Delete files \r\n");
}

TEST_F(Wrapper, EngineDeleteAndItsFailure) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [&](int id, std::int16_t) -> std::int16_t {
        EXPECT_EQ(id, dispid::kDelete);
        EXPECT_EQ(state().kind, OperationKind::Delete);
        return 430;
    };
    prompts.queue(Answer::No);
    EXPECT_EQ(wrapper().deleteByWildcard({"docs"}, "*"), 430);
    EXPECT_EQ(engine->str(dispid::kNames), "docs\\*\r\n");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Couldn't continue. The archive is spanned.\nDo you want to see the log file ?");
}

TEST_F(Wrapper, DeletingAnEmptySelectionNeverDeletesEverything) {
    app->archiveKind = ArchiveKind::Zip;
    EXPECT_EQ(wrapper().deleteFiles({}), 0);
    EXPECT_TRUE(engine->invokes.empty());
}

TEST_F(Wrapper, LibraryDeleteErrorOffer) {
    app->archiveKind = ArchiveKind::NewLibrary;
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        LibraryMessages::error(w, "", "x", "locked", "");
    };
    prompts.queue(Answer::No);
    wrapper().deleteFiles({"x"});
    EXPECT_EQ(library->calls[0].entry, "DeleteFile");
    EXPECT_EQ(activityLog(), "Error Deleting file x\n\tCause : locked");
    EXPECT_EQ(boxes()[0].text, "An error occurred while deleting.\n\tDo you want to see the log ?");
}

TEST_F(Wrapper, EngineTestByWildcardRecursesAndDoesNotPrompt) {
    app->archiveKind = ArchiveKind::Zip;
    engine->onInvoke = [&](int, std::int16_t) -> std::int16_t {
        engine->sink().onEngineSkipped("a", 5);
        engine->sink().onEngineEntry(dispid::kEventTested, entry("b"));
        return 200;
    };
    EXPECT_EQ(wrapper().testByWildcard({"docs"}, "*.txt"), 200);
    EXPECT_TRUE(engine->flag(dispid::kRecurse));
    EXPECT_EQ(engine->str(dispid::kNames), "docs\\*.txt\r\n");
    EXPECT_EQ(activityLog(),
              "Action: Testing files \r\nWildcard: *.txt\r\nTesting : a : Error\r\nTesting  : b : OK\r\n");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Wrapper, LibraryTestReturnsZeroAfterTheCall) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    library->onCall = [](const FakeLibrary::Call&, platform::WindowHandle w) {
        std::string n = "x";
        platform::SendMessage(w, formatlib::kMsgTested, reinterpret_cast<std::uintptr_t>(n.c_str()), 0);
    };
    EXPECT_EQ(wrapper().testFiles({"x"}), 0);
    EXPECT_EQ(activityLog(), "Testing : x : Error\r\n");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Wrapper, NoEngineInThisBuildFailsClearly) {
    app->archiveKind = ArchiveKind::Zip;
    CQuarvaZipApp otherApp(SettingsStore(platform::Registry(registryDir())), prompts);
    CArchiveSession bare(otherApp, launcher, nullptr, std::make_unique<FakeLibrary>());
    EXPECT_EQ(bare.doc.wrapper().addFiles({}, {"/x"}), 1000);
    EXPECT_EQ(bare.doc.wrapper().listArchive("/a.zip", {}), 1000);
}

}  // namespace
}  // namespace quarva::archive
