// The main frame's handling of engine events and format-library messages: the
// activity-log lines byte for byte, busy-dialog texts, counts, touched names,
// records, disk and password requests, and abort.

#include <gtest/gtest.h>

#include "archive/commands/Texts.h"
#include "archive/tests/ArchiveTestDoubles.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;

class Progress : public SessionTest {
protected:
    CProgressHandler& handler() { return session->progress; }
    // The compression engine's numbered events and the format library's window
    // messages, as their backends pass them on to the handler.
    CEngineEvents& engineEvents() {
        if (!engineEvents_) engineEvents_ = std::make_unique<CEngineEvents>(handler(), *engine);
        return *engineEvents_;
    }
    platform::WindowHandle libraryWindow() {
        if (!libraryMessages_) libraryMessages_ = std::make_unique<CLibraryMessages>(handler());
        return libraryMessages_->window();
    }
    // A busy dialog standing, as during an operation.
    std::unique_ptr<CBusyScope> standingBusy() { return session->busy(); }

private:
    std::unique_ptr<CEngineEvents> engineEvents_;
    std::unique_ptr<CLibraryMessages> libraryMessages_;
};

TEST_F(Progress, TestFailureThenPassLeavesTwoExactLines) {
    state().kind = OperationKind::Test;
    auto scope = standingBusy();
    engineEvents().onEngineSkipped("a", 5);
    engineEvents().onEngineEntry(dispid::kEventTested, entry("b"));
    EXPECT_EQ(activityLog(), "Testing : a : Error\r\nTesting  : b : OK\r\n");
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Testing file\na", "Testing file\nb"}));
}

TEST_F(Progress, SkippedLinesPerKind) {
    state().kind = OperationKind::Add;
    engineEvents().onEngineSkipped("x.txt", 8);
    state().kind = OperationKind::Extract;
    engineEvents().onEngineSkipped("y.txt", 1);  // kept as it was: no reason follows
    engineEvents().onEngineSkipped("w.txt", 5);
    state().kind = OperationKind::Delete;
    engineEvents().onEngineSkipped("z.txt", 1);
    EXPECT_EQ(activityLog(),
              "Skiping File : x.txt\r\nFile : y.txt : Skipped\r\nFile : w.txt : Skipped (CRC error)\r\n");
}

TEST_F(Progress, ProcessedWhileExtractingLogsAndSetsBusyText) {
    state().kind = OperationKind::Extract;
    state().extractDestination = (dir() / "out").string();
    auto scope = standingBusy();
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("docs\\a.txt"));
    auto partial = entry("big.bin", 1000);
    partial.done = 10;  // not complete: nothing happens
    engineEvents().onEngineEntry(dispid::kEventProcessed, partial);
    EXPECT_EQ(activityLog(), "File : docs\\a.txt : OK\r\n");
    EXPECT_EQ(busy.texts().back(), "Extracting file\ndocs\\a.txt");
}

TEST_F(Progress, ClipboardViewAndDragCopiesLogNothing) {
    for (auto kind : {OperationKind::CopyToClipboard, OperationKind::View, OperationKind::DragOut}) {
        state().kind = kind;
        engineEvents().onEngineEntry(dispid::kEventProcessed, entry("a.txt"));
    }
    EXPECT_EQ(activityLog(), "");
}

TEST_F(Progress, ExtractionIntoTheTemporaryFolderIsRecordedForDeletion) {
    ASSERT_TRUE(app->deletionList.open(dir()));
    state().kind = OperationKind::Extract;
    state().extractDestination = state().tempFolder;
    state().extractUsesPaths = true;
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("docs\\a.txt"));
    state().extractDestination = (dir() / "elsewhere").string();
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("b.txt"));
    std::string recorded = quarva::testing::readFile(dir() / "~QuarvaDel.tmp");
    EXPECT_EQ(recorded, (std::filesystem::path(state().tempFolder) / "docs/a.txt").string() + "\r\n");
}

TEST_F(Progress, AddCountsEveryFileButListsOnlyFilteredOnes) {
    state().kind = OperationKind::Add;
    state().filterBoxText = "*.txt";
    state().addKeepsPaths = true;
    auto scope = standingBusy();
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("C:\\data\\a.txt", 10));
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("data\\b.doc", 20));
    EXPECT_EQ(state().entryCount, 2u);
    EXPECT_EQ(state().totalSize, 30u);
    EXPECT_EQ(state().touchedNames, (std::vector<std::string>{"data\\a.txt"}));
    EXPECT_NE(session->doc.entries().find("data\\a.txt"), nullptr);
    EXPECT_EQ(session->doc.entries().find("data\\b.doc"), nullptr);
    EXPECT_EQ(activityLog(), "File : C:\\data\\a.txt : OK\r\nFile : data\\b.doc : OK\r\n");
    EXPECT_EQ(busy.texts().back(), "Adding file\ndata\\b.doc");
}

TEST_F(Progress, AddWithoutPathsUsesTheFilePart) {
    state().kind = OperationKind::Add;
    state().addKeepsPaths = false;
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("deep\\down\\n.txt"));
    EXPECT_EQ(state().touchedNames, (std::vector<std::string>{"n.txt"}));
    EXPECT_NE(session->doc.entries().find("n.txt"), nullptr);
}

TEST_F(Progress, AddReplacingAnEntryIsNotPendingAndNotCountedTwice) {
    state().kind = OperationKind::Add;
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("a.txt", 10));
    state().touchedNames.clear();
    engineEvents().onEngineEntry(dispid::kEventProcessed, entry("a.txt", 25));
    EXPECT_TRUE(state().touchedNames.empty());
    EXPECT_EQ(state().entryCount, 1u);
    EXPECT_EQ(state().totalSize, 25u);
}

TEST_F(Progress, ListedEntriesBuildTheDocumentAndFindTheInstaller) {
    state().kind = OperationKind::List;
    engineEvents().onEngineEntry(dispid::kEventListed, entry("folder\\", 0));
    engineEvents().onEngineEntry(dispid::kEventListed, entry("tools\\SeTuP.EXE", 7));
    engineEvents().onEngineEntry(dispid::kEventListed, entry("a.txt", 3));
    engineEvents().onEngineEntry(dispid::kEventListed, entry("a.txt", 5));  // listed twice: the later wins
    EXPECT_TRUE(session->doc.installer);
    EXPECT_EQ(state().installProgramPath, "tools\\SeTuP.EXE");
    EXPECT_EQ(state().entryCount, 2u);
    EXPECT_EQ(state().totalSize, 12u);
    EXPECT_EQ(session->doc.entries().entryCount(), 2u);
    // Progress-only events change nothing.
    engineEvents().onEngineEntry(dispid::kEventStarting, entry("q.txt"));
    engineEvents().onEngineEntry(dispid::kEventFinished, entry("q.txt"));
    EXPECT_EQ(state().entryCount, 2u);
}

TEST_F(Progress, DeletedEntryLowersTheTotals) {
    state().kind = OperationKind::List;
    engineEvents().onEngineEntry(dispid::kEventListed, entry("d\\a.txt", 40));
    engineEvents().onEngineEntry(dispid::kEventListed, entry("b.txt", 2));
    state().kind = OperationKind::Delete;
    engineEvents().onEngineDeleted("d\\a.txt");
    engineEvents().onEngineDeleted("not-listed.txt");
    EXPECT_EQ(state().entryCount, 0u);
    EXPECT_EQ(state().totalSize, 2u);
    EXPECT_EQ(state().touchedNames, (std::vector<std::string>{"d\\a.txt", "not-listed.txt"}));
}

TEST_F(Progress, TwoExtractErrorsHaveNoLineBreakBetweenThem) {
    state().kind = OperationKind::Extract;
    LibraryMessages::error(libraryWindow(), "", "a.txt", "CRC error", "");
    LibraryMessages::error(libraryWindow(), "", "b.txt", "Disk full", "wrote 0 bytes");
    EXPECT_EQ(activityLog(),
              "Error Extracting file a.txt\r\nCause : CRC errorError Extracting file b.txt\r\nCause : Disk full"
              "\r\nDetails : wrote 0 bytes");
    EXPECT_TRUE(state().errorSeen);
}

TEST_F(Progress, DeleteErrorUsesTheTabbedCause) {
    state().kind = OperationKind::Delete;
    LibraryMessages::error(libraryWindow(), "", "a.txt", "locked", "");
    EXPECT_EQ(activityLog(), "Error Deleting file a.txt\n\tCause : locked");
}

TEST_F(Progress, ErrorInAnotherKindOnlySetsTheFlag) {
    state().kind = OperationKind::Test;
    LibraryMessages::error(libraryWindow(), "", "a.txt", "x", "y");
    EXPECT_EQ(activityLog(), "");
    EXPECT_TRUE(state().errorSeen);
}

TEST_F(Progress, ListingRecordBecomesAnEntryWithItsValues) {
    state().kind = OperationKind::List;
    LibraryMessages::listed(libraryWindow(), "sub\\file.bin", 4000);
    const CZipFileInfo* info = session->doc.entries().find("sub\\file.bin");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->size, 4000u);
    EXPECT_EQ(info->packedSize, 2000u);
    EXPECT_EQ(info->modified, "01-02-24 10:30");
    EXPECT_EQ(info->ratio, 50);
    EXPECT_EQ(info->crc, 0x1234u);
    EXPECT_EQ(info->attributes, 0x20);
    EXPECT_EQ(info->method, 8);
    EXPECT_EQ(info->disk, 1);
    EXPECT_EQ(info->encryption, 0);
    EXPECT_EQ(info->methodName, "deflate");
    EXPECT_EQ(state().entryCount, 1u);
}

TEST_F(Progress, LibraryMessagesForProcessedDeletedTested) {
    state().kind = OperationKind::Extract;
    state().extractDestination = (dir() / "o").string();
    LibraryMessages::listed(libraryWindow(), "x.txt", 5, formatlib::kMsgProcessed);
    std::string name = "gone.txt";
    platform::SendMessage(libraryWindow(), formatlib::kMsgDeleted, reinterpret_cast<std::uintptr_t>(name.c_str()), 0);
    state().kind = OperationKind::Test;
    std::string t1 = "ok.txt", t2 = "bad.txt";
    platform::SendMessage(libraryWindow(), formatlib::kMsgTested, reinterpret_cast<std::uintptr_t>(t1.c_str()), 1);
    platform::SendMessage(libraryWindow(), formatlib::kMsgTested, reinterpret_cast<std::uintptr_t>(t2.c_str()), 0);
    platform::SendMessage(libraryWindow(), formatlib::kMsgIgnored1, 1, 2);
    platform::SendMessage(libraryWindow(), formatlib::kMsgIgnored6, 1, 2);
    EXPECT_EQ(activityLog(), "File : x.txt : OK\r\nTesting  : ok.txt : OK\r\nTesting : bad.txt : Error\r\n");
    EXPECT_EQ(state().touchedNames, (std::vector<std::string>{"gone.txt"}));
}

TEST_F(Progress, CompletionRecordCountsAsProcessed) {
    state().kind = OperationKind::Add;
    std::wstring wide = L"d\\w\u00e9.txt";
    const wchar_t* place = wide.c_str();
    formatlib::CompletionRecord r{};
    r.methodName = "lh5";
    r.modified = "02-03-24 11:00";
    r.method = 5;
    r.size = 77;
    r.namePlace = &place;
    platform::SendMessage(libraryWindow(), formatlib::kMsgCompletion, reinterpret_cast<std::uintptr_t>(&r), 0);
    EXPECT_EQ(activityLog(), "File : d\\w\xc3\xa9.txt : OK\r\n");
    EXPECT_EQ(state().totalSize, 77u);
    const CZipFileInfo* info = session->doc.entries().find("d\\w\xc3\xa9.txt");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->methodName, "lh5");
    EXPECT_EQ(info->method, 5);
    EXPECT_EQ(info->ratio, -1);
}

TEST_F(Progress, ArchiveKindMessageExceptForCab) {
    session->doc.archiveFileName = "x.exe";
    platform::SendMessage(libraryWindow(), formatlib::kMsgArchiveKind, 0, 0);
    EXPECT_EQ(app->archiveKind, ArchiveKind::Zip);
    platform::SendMessage(libraryWindow(), formatlib::kMsgArchiveKind, 10, 0);
    EXPECT_EQ(app->archiveKind, ArchiveKind::OtherLibrary);
    session->doc.archiveFileName = "Setup.CAB";
    app->archiveKind = ArchiveKind::Cab;
    platform::SendMessage(libraryWindow(), formatlib::kMsgArchiveKind, 10, 0);
    EXPECT_EQ(app->archiveKind, ArchiveKind::Cab);
}

TEST_F(Progress, AbortSetsTheEnginePropertyOrCallsTheLibrary) {
    state().touchedNames = {"a"};
    app->archiveKind = ArchiveKind::Zip;
    handler().abort();
    EXPECT_TRUE(engine->flag(dispid::kAbort));
    EXPECT_TRUE(state().touchedNames.empty());
    app->archiveKind = ArchiveKind::OtherLibrary;
    handler().abort();
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "Abort");
}

TEST_F(Progress, CancelInTheBusyDialogAborts) {
    app->archiveKind = ArchiveKind::Zip;
    auto scope = standingBusy();
    ASSERT_TRUE(busy.shared->cancel);
    busy.shared->cancel();
    EXPECT_TRUE(engine->flag(dispid::kAbort));
    EXPECT_EQ(busy.shared->open, 1);  // the dialog stays until the operation returns
    scope.reset();
    EXPECT_EQ(busy.shared->open, 0);
    EXPECT_EQ(state().busy, nullptr);
}

TEST_F(Progress, ReadingDiskRequestAsksForTheDisk) {
    state().kind = OperationKind::Extract;
    prompts.queue(Answer::Ok);
    engineEvents().onEngineDiskRequest(0);
    prompts.queue(Answer::Cancel);
    engineEvents().onEngineDiskRequest(3);
    auto b = boxes();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].text, "Please insert last disk to continue");
    EXPECT_EQ(b[1].text, "Please insert disk #3 to continue.");
    EXPECT_EQ(b[1].buttons, Buttons::OkCancel);
    EXPECT_EQ(b[1].icon, Icon::None);
    EXPECT_EQ(b[1].caption, "Quarva.Zip Suite");
    EXPECT_TRUE(engine->flag(dispid::kAbort));
}

TEST_F(Progress, WritingDiskRequestPromptsOncePerDiskAndSetsErase) {
    state().kind = OperationKind::Add;
    frame.newDiskDialog = true;
    frame.newDiskAnswers = {true};
    session->doc.archivePath = (dir() / "set.zip").string();
    engineEvents().onEngineDiskRequest(2);
    engineEvents().onEngineDiskRequest(2);  // the same disk again: no second dialog
    EXPECT_EQ(std::count(frame.log.begin(), frame.log.end(), "newdisk:2"), 1);
    EXPECT_TRUE(engine->flag(dispid::kWipeDisk));
    EXPECT_FALSE(engine->flag(dispid::kAbort));
}

TEST_F(Progress, WritingDiskRequestKeepsAskingWhileTheArchiveIsOnTheDisk) {
    state().kind = OperationKind::Add;
    session->doc.archivePath = (dir() / "set.zip").string();
    quarva::testing::writeFile(dir() / "set.zip", "PK");
    prompts.queue(Answer::Ok);      // "Insert Disk #2 to continue"
    prompts.queue(Answer::Ok);      // the archive is still there: try again
    prompts.queue(Answer::Cancel);  // give up
    engineEvents().onEngineDiskRequest(2);
    auto b = boxes();
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].text, "Insert Disk #2 to continue");
    EXPECT_EQ(b[0].caption, "Quarva.Zip Suite Disk Spanning");
    std::string exists = "File " + (dir() / "set.zip").string() + " exists in the drive\nPlease insert another disk";
    EXPECT_EQ(b[1].text, exists);
    EXPECT_EQ(b[2].text, exists);
    EXPECT_TRUE(engine->flag(dispid::kAbort));
}

TEST_F(Progress, PasswordRequestFilledWithTheCurrentPassword) {
    engine->properties[dispid::kPassword] = std::string("old");
    prompts.queueText(std::string("secret"));
    std::string password = "in";
    std::int16_t action = 0;
    engineEvents().onEnginePassword("a.zip", password, action);
    EXPECT_EQ(password, "secret");
    EXPECT_EQ(action, 2);
    ASSERT_EQ(prompts.texts().size(), 1u);
    EXPECT_EQ(prompts.texts()[0].initial, "old");
    EXPECT_EQ(prompts.texts()[0].caption, "Enter password");

    prompts.queueText(std::nullopt);
    password = "keep";
    action = 0;
    engineEvents().onEnginePassword("a.zip", password, action);
    EXPECT_EQ(password, "keep");
    EXPECT_EQ(action, 0);
}

}  // namespace
}  // namespace quarva::archive
