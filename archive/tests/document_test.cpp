// The archive document: open, create, close, kinds and flags, the listing's status
// texts and title, the recent list, the folder rules, and the commands on the
// open archive.

#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/tests/ArchiveTestDoubles.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;
using Words = std::vector<std::string>;

class Document : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        engine->onInvoke = [this](int id, std::int16_t) -> std::int16_t {
            if (id == dispid::kList) {
                engine->sink().onEngineEntry(dispid::kEventListed, entry("a.txt", 10));
                engine->sink().onEngineEntry(dispid::kEventListed, entry("docs\\b.txt", 20));
            }
            return engineStatus;
        };
        library->onCall = [](const FakeLibrary::Call& call, platform::WindowHandle w) {
            if (call.entry == "ListArchive") LibraryMessages::listed(w, "r\\x.txt", 5);
        };
    }
    CQuarvaZipDoc& doc() { return session->doc; }
    std::string archive(const std::string& name) {
        auto p = dir() / name;
        quarva::testing::writeFile(p, "data");
        return p.string();
    }
    std::int16_t engineStatus = 0;
};

TEST_F(Document, OpeningAZipListsBuildsAndTitles) {
    std::string path = archive("Backup.ZIP");
    app->archiveKind = ArchiveKind::OtherLibrary;
    EXPECT_TRUE(doc().openArchive(path, "Backup.ZIP"));
    EXPECT_EQ(app->archiveKind, ArchiveKind::Zip);  // the extension is lower-cased
    EXPECT_TRUE(session->flags.sfxCapable);
    EXPECT_TRUE(session->flags.modifiable);
    EXPECT_FALSE(session->flags.removable);
    EXPECT_TRUE(doc().open);
    EXPECT_EQ(doc().archivePath, path);
    EXPECT_EQ(doc().archiveFileName, "Backup.ZIP");
    EXPECT_EQ(doc().entries().entryCount(), 2u);
    ASSERT_NE(doc().entries().root(), nullptr);
    EXPECT_NE(doc().entries().root()->child("docs"), nullptr);
    EXPECT_EQ(state().entryCount, 2u);
    EXPECT_EQ(state().totalSize, 30u);

    std::vector<std::string> expected = {"recent:" + path,
                                         "title:Quarva.Zip Suite ",
                                         "filter:on",
                                         "status:Listing...",
                                         "status:Populating list...",
                                         "title:" + path + " - Quarva.Zip Suite",
                                         "tree",
                                         "totals",
                                         "status:Completed..."};
    std::vector<std::string> tail(frame.log.end() - static_cast<long>(expected.size()), frame.log.end());
    EXPECT_EQ(tail, expected);
    ASSERT_FALSE(app->recentFiles.entries().empty());
    EXPECT_EQ(app->recentFiles.entries()[0], path);
    EXPECT_EQ(app->recentPaths.back(), path);
}

TEST_F(Document, OpeningRarIsAllowedThroughTheLibrary) {
    std::string path = archive("notes.rar");
    EXPECT_TRUE(doc().openArchive(path, "notes.rar"));
    EXPECT_EQ(app->archiveKind, ArchiveKind::OtherLibrary);
    EXPECT_TRUE(session->flags.sfxCapable);
    ASSERT_EQ(library->calls.size(), 1u);
    EXPECT_EQ(library->calls[0].entry, "ListArchive");
    EXPECT_NE(doc().entries().find("r\\x.txt"), nullptr);
}

TEST_F(Document, EncodedArchivesAreNotModifiable) {
    doc().openArchive(archive("x.uue"), "x.uue");
    EXPECT_FALSE(session->flags.modifiable);
    EXPECT_FALSE(session->flags.sfxCapable);
}

TEST_F(Document, FailedListingLeavesNoArchiveOpen) {
    engineStatus = 100;
    std::string path = archive("gone.zip");
    EXPECT_FALSE(doc().openArchive(path, "gone.zip"));
    EXPECT_FALSE(doc().open);
    EXPECT_EQ(doc().archivePath, "");
    EXPECT_EQ(doc().entries().entryCount(), 0u);
    EXPECT_TRUE(frame.has("status:Error in Listing..."));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Archive Not Found");
    EXPECT_EQ(boxes()[0].buttons, Buttons::Ok);
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_TRUE(app->recentFiles.entries().empty());
}

TEST_F(Document, OpeningTheOpenArchiveAgainListsItAgain) {
    std::string path = archive("a.zip");
    doc().openArchive(path, "a.zip");
    doc().openArchive(path, "a.zip");
    EXPECT_EQ(engine->invokes.size(), 2u);
    EXPECT_EQ(state().entryCount, 2u);  // counted afresh, not doubled
}

TEST_F(Document, ANamesCharsetHoldsForItsArchiveOnly) {
    std::string a = archive("a.zip"), b = archive("b.zip");
    doc().openArchive(a, "a.zip");
    EXPECT_TRUE(doc().wrapper().setNamesCharset("CP866"));
    session->refresh();
    EXPECT_EQ(doc().wrapper().namesCharset(), "CP866");
    doc().openArchive(b, "b.zip");
    EXPECT_EQ(doc().wrapper().namesCharset(), "");
}

TEST_F(Document, FilterBoxTextBecomesTheListingPatterns) {
    state().filterBoxText = "  *.txt  ";
    doc().openArchive(archive("a.zip"), "a.zip");
    EXPECT_EQ(engine->str(dispid::kNames), "*.txt\r\n*\\*.txt\r\n");
}

TEST_F(Document, FolderRulesFollowTheFolderBits) {
    app->configuration.folderBits = folderbits::kRememberStartupFolder | folderbits::kOpenedFolderIsAddFolder;
    doc().openArchive(archive("a.zip"), "a.zip");
    EXPECT_EQ(app->configuration.startupFolder, dir().string());
    EXPECT_EQ(app->configuration.addFolder, dir().string());
    EXPECT_EQ(app->configuration.extractionFolder, "");
    app->configuration.folderBits = folderbits::kOpenedFolderIsExtractFolder;
    doc().openArchive(archive("b.zip"), "b.zip");
    EXPECT_EQ(app->configuration.extractionFolder, dir().string());
}

TEST_F(Document, CreatingKinds) {
    app->archiveKind = ArchiveKind::OtherLibrary;
    EXPECT_TRUE(doc().createArchive("/n/new.zip", "new.zip"));
    EXPECT_EQ(app->archiveKind, ArchiveKind::Zip);
    EXPECT_TRUE(doc().createArchive("/n/new.TAR", "new.TAR"));
    EXPECT_EQ(app->archiveKind, ArchiveKind::NewLibrary);
    EXPECT_TRUE(doc().open);
    EXPECT_EQ(doc().archivePath, "/n/new.TAR");
    EXPECT_EQ(doc().wrapper().archiveName(), "/n/new.TAR");
    EXPECT_EQ(engine->str(dispid::kArchiveName), "/n/new.TAR");
    EXPECT_TRUE(frame.has("title:/n/new.TAR - Quarva.Zip Suite"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Document, CreatingRarIsRefusedAndChangesNothing) {
    doc().createArchive("/n/keep.zip", "keep.zip");
    EXPECT_FALSE(doc().createArchive("/n/notes.rar", "notes.rar"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Creation of archive of this type not supported");
    EXPECT_EQ(boxes()[0].caption, "Quarva.Zip Suite");
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
    EXPECT_EQ(doc().archivePath, "/n/keep.zip");
    EXPECT_EQ(app->archiveKind, ArchiveKind::Zip);
}

TEST_F(Document, CreatingWithoutExtensionKeepsThePreviousKind) {
    app->archiveKind = ArchiveKind::Cab;
    EXPECT_TRUE(doc().createArchive("/n/archive", "archive"));
    EXPECT_EQ(app->archiveKind, ArchiveKind::Cab);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Document, RemovableDriveSetsTheFlagAndSpanning) {
    auto floppy = dir() / "floppy";
    std::filesystem::create_directories(floppy);
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    quarva::testing::writeFile(floppy / "f.zip", "x");
    doc().openArchive((floppy / "f.zip").string(), "f.zip");
    unsetenv("QUARVA_REMOVABLE_ROOTS");
    EXPECT_TRUE(session->flags.removable);
    EXPECT_TRUE(engine->flag(dispid::kSpanning));
}

TEST_F(Document, CloseClearsEverything) {
    doc().openArchive(archive("a.zip"), "a.zip");
    doc().installer = true;
    frame.log.clear();
    doc().closeArchive();
    EXPECT_FALSE(doc().open);
    EXPECT_FALSE(doc().installer);
    EXPECT_EQ(doc().archivePath, "");
    EXPECT_EQ(doc().archiveFileName, "");
    EXPECT_EQ(doc().entries().entryCount(), 0u);
    EXPECT_EQ(doc().entries().root(), nullptr);
    EXPECT_EQ(state().entryCount, 0u);
    EXPECT_EQ(state().totalSize, 0u);
    EXPECT_EQ(frame.log, (std::vector<std::string>{"clear", "filter:off", "title:Quarva.Zip Suite", "totals"}));
}

TEST_F(Document, FrameworkOpenOfAMissingPathDropsItFromRecentPaths) {
    app->recentPaths = {"/x/old.zip", "/x/keep.zip"};
    EXPECT_TRUE(doc().frameworkOpen("/x/old.zip"));
    EXPECT_EQ(app->recentPaths, (std::vector<std::string>{"/x/keep.zip"}));
    EXPECT_TRUE(engine->invokes.empty());
}

TEST_F(Document, OpeningFlowShowsOpeningAndSkipsTheOpenArchive) {
    std::string path = archive("a.zip");
    EXPECT_TRUE(session->openWithBusyDialog(path));
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Opening...", "<closed>"}));
    EXPECT_TRUE(session->openWithBusyDialog(path));  // already open: not even the busy dialog
    EXPECT_EQ(busy.texts().size(), 3u);
    EXPECT_EQ(engine->invokes.size(), 1u);
}

TEST_F(Document, RefreshReopensUnderRefreshing) {
    std::string path = archive("a.zip");
    doc().openArchive(path, "a.zip");
    session->refresh();
    EXPECT_EQ(busy.texts(), (std::vector<std::string>{"<created>", "Refreshing...", "<closed>"}));
    EXPECT_EQ(doc().archivePath, path);
    EXPECT_EQ(engine->invokes.size(), 2u);
}

TEST_F(Document, OutcomeCode400RefreshesTheListing) {
    doc().openArchive(archive("a.zip"), "a.zip");
    prompts.queue(Answer::No);
    session->outcome.reportOutcome(400, true);
    EXPECT_EQ(engine->invokes.size(), 2u);
    EXPECT_EQ(busy.texts().front(), "<created>");
    EXPECT_EQ(busy.texts()[1], "Refreshing...");
}

TEST_F(Document, OpenInTheFileSplitter) {
    app->store().writeString(suiteKey("Settings"), "Installed Path", "/opt/quarva");
    doc().openArchive(archive("a.zip"), "a.zip");
    EXPECT_TRUE(doc().openInSplitter());
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].argv, (Words{"/opt/quarva/QuarvaSplit", doc().archivePath}));
    EXPECT_TRUE(launcher.launches()[0].shown);
}

TEST_F(Document, VirusScanWithoutScannerAsksToSetOne) {
    app->store().writeString(suiteKey("Settings"), "Scanner Path", "/ab");
    EXPECT_FALSE(doc().scanForViruses());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Set virus scanner options from Options-Configuration menu and selecting Folders page");
    EXPECT_TRUE(launcher.launches().empty());
}

TEST_F(Document, VirusScanStartsTheScannerWithTheArchive) {
    auto cwd = std::filesystem::current_path();
    std::filesystem::create_directories(dir() / "scan");
    std::string scanner = (dir() / "scan" / "clamscan").string();
    app->store().writeString(suiteKey("Settings"), "Scanner Path", scanner);
    doc().openArchive(archive("a.zip"), "a.zip");
    EXPECT_TRUE(doc().scanForViruses());
    EXPECT_EQ(std::filesystem::current_path(), dir() / "scan");
    std::filesystem::current_path(cwd);
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].argv, (Words{scanner, doc().archivePath}));
}

TEST_F(Document, MailAttachesTheArchive) {
    doc().openArchive(archive("a.zip"), "a.zip");
    EXPECT_TRUE(doc().sendByMail());
    ASSERT_EQ(launcher.launches().size(), 1u);
    EXPECT_EQ(launcher.launches()[0].argv, (Words{"xdg-email", "--attach", doc().archivePath}));
}

// A quote in the archive's name stays inside the one word that names the file: it
// cannot add a recipient, a switch or another file to the programs started with it.
TEST_F(Document, QuotesInTheArchiveNameStayInsideItsWord) {
    app->store().writeString(suiteKey("Settings"), "Installed Path", "/opt/quarva");
    const std::string scanner = (dir() / "scan").string();
    app->store().writeString(suiteKey("Settings"), "Scanner Path", scanner);
    const auto cwd = std::filesystem::current_path();
    const std::string path = archive("Holiday\" --bcc \"attacker@evil.example.zip");
    doc().takePath(path);
    EXPECT_TRUE(doc().sendByMail());
    EXPECT_TRUE(doc().openInSplitter());
    EXPECT_TRUE(doc().scanForViruses());
    std::filesystem::current_path(cwd);
    ASSERT_EQ(launcher.launches().size(), 3u);
    EXPECT_EQ(launcher.launches()[0].argv, (Words{"xdg-email", "--attach", path}));
    EXPECT_EQ(launcher.launches()[1].argv, (Words{"/opt/quarva/QuarvaSplit", path}));
    EXPECT_EQ(launcher.launches()[2].argv, (Words{scanner, path}));

    // A relative name that starts with "-" cannot pass for an option.
    std::filesystem::current_path(dir());
    archive("-rf.zip");
    doc().takePath("-rf.zip");
    EXPECT_TRUE(doc().sendByMail());
    EXPECT_TRUE(doc().openInSplitter());
    std::filesystem::current_path(cwd);
    ASSERT_EQ(launcher.launches().size(), 5u);
    EXPECT_EQ(launcher.launches()[3].argv, (Words{"xdg-email", "--attach", "./-rf.zip"}));
    EXPECT_EQ(launcher.launches()[4].argv, (Words{"/opt/quarva/QuarvaSplit", "./-rf.zip"}));
}

TEST_F(Document, MailWithoutAMailProgramSaysSo) {
    platform::testing::RecordingLauncher failing(false);
    CArchiveSession s(*app, failing, nullptr, std::make_unique<FakeLibrary>());
    s.doc.takePath(archive("a.zip"));
    EXPECT_FALSE(s.doc.sendByMail());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("xdg-email"), std::string::npos);
    EXPECT_EQ(boxes()[0].icon, Icon::Stop);
}

TEST_F(Document, MailOfAMissingArchiveSendsNothing) {
    doc().takePath((dir() / "never-made.zip").string());
    EXPECT_FALSE(doc().sendByMail());
    EXPECT_TRUE(launcher.launches().empty());
    ASSERT_EQ(boxes().size(), 1u);
}

}  // namespace
}  // namespace quarva::archive

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;

class Filter : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        quarva::testing::writeFile(dir() / "a.zip", "x");
        session->doc.openArchive((dir() / "a.zip").string(), "a.zip");
        frame.log.clear();
    }
};

TEST_F(Filter, PickingAFilterListsAgainAndAddsNewTextsOnce) {
    engine->onInvoke = [this](int, std::int16_t) -> std::int16_t {
        engine->sink().onEngineEntry(dispid::kEventListed, entry("k.txt", 4));
        return 0;
    };
    EXPECT_TRUE(session->applyFilter("*.txt *.log"));
    EXPECT_EQ(engine->str(dispid::kNames), "*.txt\r\n*\\*.txt\r\n*.log\r\n*\\*.log\r\n");
    EXPECT_EQ(state().entryCount, 1u);
    EXPECT_EQ(state().filterText, "*.txt *.log");
    EXPECT_EQ(frame.log, (std::vector<std::string>{"clear", "status:Listing...", "status:Populating list...", "tree",
                                                   "filter-entry:*.txt *.log", "status:Completed..."}));
    std::size_t before = state().filterEntries.size();
    session->applyFilter("*.txt *.log");
    EXPECT_EQ(state().filterEntries.size(), before);  // no duplicate
    session->applyFilter("*.txt");                    // already in the box's list
    EXPECT_EQ(state().filterEntries.size(), before);
}

TEST_F(Filter, AListingErrorShowsWhatWasListedAndReportsWithoutTheLog) {
    engine->onInvoke = [](int, std::int16_t) -> std::int16_t { return 160; };
    EXPECT_FALSE(session->applyFilter("*.doc"));
    EXPECT_TRUE(frame.has("status:Error in listing..."));
    EXPECT_TRUE(frame.has("tree"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Unexpected End of File.Corrupt Archive");
    EXPECT_EQ(boxes()[0].buttons, platform::Buttons::Ok);
}

}  // namespace
}  // namespace quarva::archive
