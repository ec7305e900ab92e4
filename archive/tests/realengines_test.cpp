// The archive logic over the real engines: our zip engine and the format library
// built beside these tests. Unattended add and extraction round-trip real files,
// and the listing builds the document from what the engines report.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "archive/core/CommandLineActions.h"
#include "archive/core/HiddenActions.h"
#include "archive/core/ListFile.h"
#include "archive/tests/ArchiveTestDoubles.h"
#include "formatlib/host/FormatLibraryHost.h"
#include "platform/testing/ArchiveBytes.h"

namespace quarva::archive {
namespace {

using namespace quarva::archive::testing;

fs::path findFormatLibrary() {
    for (const char* env : {"QUARVA_BUILD_DIR", "QUARVA_DIST_DIR"}) {
        const char* v = std::getenv(env);
        if (!v || !*v) continue;
        for (const fs::path& p : {fs::path(v) / "formatlib" / "libqzip32.so", fs::path(v) / "libqzip32.so"}) {
            std::error_code ec;
            if (fs::exists(p, ec)) return p;
        }
    }
    return {};
}

class RealEngines : public SessionFixture {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        fs::create_directories(tmpDir());
        startSession(createZipEngineControl(), nullptr);  // the library at the application's library path
        app->libraryPath = findFormatLibrary();

        // The sample: files at two levels, an empty file, a binary one.
        source = dir() / "sample";
        quarva::testing::writeFile(source / "readme.txt", "hello\n");
        quarva::testing::writeFile(source / "empty.dat", "");
        quarva::testing::writeFile(source / "docs" / "guide.txt", std::string(5000, 'g'));
        quarva::testing::writeFile(source / "docs" / "deep" / "bin.raw", quarva::testing::randomBytes(70000, 7));
        loose = dir() / "loose.txt";
        quarva::testing::writeFile(loose, "loose file");
    }
    std::string writeList(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        fs::path list = tmpDir() / (std::string(kListFilePrefix) + "RealEngines.tmp");
        quarva::testing::writeFile(list, text);
        return list.string();
    }
    bool run(const std::string& sw, const std::string& arg) {
        ActionContext context{*session, sw, arg, ShowState::Show};
        return runCommandLineAction(context);
    }
    // The unattended add names the entries below the folder that holds the selected
    // items (here the test's folder): "sample/docs/...", whichever engine writes it.
    fs::path stored(const fs::path& dest, const fs::path& original) {
        return dest / original.lexically_relative(dir());
    }
    void expectSame(const fs::path& a, const fs::path& b) {
        ASSERT_TRUE(fs::exists(b)) << b;
        EXPECT_EQ(quarva::testing::readFile(a), quarva::testing::readFile(b)) << b;
    }
    void roundTrip(const std::string& archiveName) {
        std::string archive = (dir() / archiveName).string();
        EXPECT_FALSE(run("noadddialog", writeList({archive, loose.string(), source.string()})));
        ASSERT_TRUE(fs::exists(archive)) << activityLog() << (prompts.boxes().empty() ? "" : prompts.boxes()[0].text);
        EXPECT_TRUE(prompts.boxes().empty()) << prompts.boxes()[0].text << "\n" << activityLog();

        fs::path dest = dir() / "restored";
        EXPECT_FALSE(run("noextractdialog", writeList({archive, dest.string()})));
        EXPECT_TRUE(prompts.boxes().empty()) << activityLog();
        expectSame(loose, stored(dest, loose));
        expectSame(source / "readme.txt", stored(dest, source / "readme.txt"));
        expectSame(source / "empty.dat", stored(dest, source / "empty.dat"));
        expectSame(source / "docs" / "guide.txt", stored(dest, source / "docs" / "guide.txt"));
        expectSame(source / "docs" / "deep" / "bin.raw", stored(dest, source / "docs" / "deep" / "bin.raw"));

        // Listing builds the tree from what the engine reports.
        ASSERT_TRUE(session->openWithBusyDialog(archive)) << activityLog();
        const auto& entries = session->doc.entries();
        EXPECT_EQ(entries.entryCount(), 5u);
        std::string key = source.lexically_relative(dir()).string() + "/docs/deep/bin.raw";
        for (auto& c : key)
            if (c == '/') c = '\\';
        const CZipFileInfo* bin = entries.find(key);
        ASSERT_NE(bin, nullptr) << key;
        EXPECT_EQ(bin->size, 70000u);
        EXPECT_EQ(session->progress.state.totalSize, 6u + 0 + 5000 + 70000 + 10);
    }
    fs::path source, loose;
};

TEST_F(RealEngines, ZipRoundTripThroughTheEngine) { roundTrip("sample.zip"); }

TEST_F(RealEngines, ZipLogLinesComeFromTheEngine) {
    std::string archive = (dir() / "log.zip").string();
    run("noadddialog", writeList({archive, loose.string()}));
    std::string expectedName = loose.filename().string();
    for (auto& c : expectedName)
        if (c == '/') c = '\\';
    EXPECT_EQ(activityLog(),
              "Action: Add (and replace) files \r\nInclude hidden files : No\r\n"
              "Include Subfolders : Yes\r\nSave Path Info : Yes\r\nFile : " +
                  expectedName + " : OK\r\n");
    ASSERT_EQ(session->doc.wrapper().testFiles({"*"}), 0);
    EXPECT_EQ(activityLog(), "Action: Testing files \r\nTesting  : " + expectedName + " : OK\r\n");
}

TEST_F(RealEngines, AnEntryTheEngineCannotDecodeIsLoggedWithItsMethod) {
    // An imploded entry (method 6), which the engine does not decode, beside a stored one.
    quarva::testing::ZipMember imploded("old.txt", "data");
    imploded.method = 6;
    imploded.packed = "\x01\x02\x03";
    const fs::path archive = dir() / "methods.zip";
    quarva::testing::writeFile(archive, quarva::testing::zipArchive({imploded, {"new.txt", "fine"}}));
    run("noextractdialog", writeList({archive.string(), (dir() / "out").string()}));
    EXPECT_NE(activityLog().find("File : old.txt : Skipped (unsupported compression method: Implode)\r\n"),
              std::string::npos)
        << activityLog();
    EXPECT_NE(activityLog().find("File : new.txt : OK\r\n"), std::string::npos) << activityLog();
}

// Records what a listing reports, by entry name.
class ListedEntries : public IArchiveEventSink {
public:
    std::map<std::string, EntryValues> entries;
    void listedEntry(const EntryValues& values) override { entries[values.name] = values; }
    void fileProcessed(const EntryValues&) override {}
    void fileSkipped(const std::string&, std::int16_t, const std::string&) override {}
    void fileTested(const std::string&) override {}
    void entryDeleted(const std::string&) override {}
    void fileError(const FileErrorReport&) override {}
    void archiveKindReported(ArchiveKind) override {}
    DiskAnswer diskRequested(std::int16_t) override { return DiskAnswer::Abort; }
    std::optional<std::string> passwordRequested(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

TEST_F(RealEngines, BothBackendsListAZipWithTheSameNamedValues) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    formatlib::LoadedLibrary probe(app->libraryPath);
    if (!probe.loaded()) GTEST_SKIP() << "libqzip32.so does not load: " << probe.loadError();
    fs::path locked = source / "locked.txt";
    quarva::testing::writeFile(locked, "read only");
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::string archive = (dir() / "both.zip").string();
    run("noadddialog", writeList({archive, source.string()}));
    ASSERT_TRUE(fs::exists(archive)) << activityLog();

    CZipEngineBackend engineSide(createZipEngineControl());
    CFormatLibraryBackend librarySide(createFormatLibrary(app->libraryPath));
    ListedEntries byEngine, byLibrary;
    ASSERT_EQ(engineSide.list(archive, {}, byEngine), 0);
    ASSERT_EQ(librarySide.list(archive, {}, byLibrary), 0);
    ASSERT_EQ(byEngine.entries.size(), byLibrary.entries.size());
    int files = 0;
    for (const auto& [name, e] : byEngine.entries) {
        SCOPED_TRACE(name);
        auto it = byLibrary.entries.find(name);
        ASSERT_NE(it, byLibrary.entries.end());
        if (name.back() == '\\') continue;  // folder records are not entries
        ++files;
        const EntryValues& l = it->second;
        // DOS attributes on both sides: read-only and folder bits as the entry has
        // them (the library adds the archive bit to every file, the engine reports
        // the stored bits).
        constexpr int kReadOnly = 0x01, kFolder = 0x10;
        bool readOnly = name.ends_with("locked.txt");
        EXPECT_EQ(e.attributes & (kReadOnly | kFolder), readOnly ? kReadOnly : 0);
        EXPECT_EQ(l.attributes & (kReadOnly | kFolder), e.attributes & (kReadOnly | kFolder));
        // Zip method numbers: 0 stored, 8 deflate.
        EXPECT_TRUE(e.method == 0 || e.method == 8) << e.method;
        EXPECT_EQ(l.method, e.method);
        EXPECT_EQ(l.crc, e.crc);
        EXPECT_EQ(l.size, e.size);
    }
    EXPECT_EQ(byEngine.entries.at("sample\\docs\\guide.txt").method, 8);  // 5000 times 'g' shrinks
    EXPECT_EQ(files, 5);
    const EntryValues& readme = byEngine.entries.at("sample\\readme.txt");
    EXPECT_EQ(readme.crc, 0x363a3020u);  // CRC-32 of "hello\n"
}

TEST_F(RealEngines, TarRoundTripThroughTheFormatLibrary) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    formatlib::LoadedLibrary probe(app->libraryPath);
    if (!probe.loaded()) GTEST_SKIP() << "libqzip32.so does not load: " << probe.loadError();
    roundTrip("sample.tar");
}

TEST_F(RealEngines, CabRoundTripThroughTheFormatLibrary) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    formatlib::LoadedLibrary probe(app->libraryPath);
    if (!probe.loaded()) GTEST_SKIP() << "libqzip32.so does not load: " << probe.loadError();
    roundTrip("sample.cab");
}

TEST_F(RealEngines, ARarSetOpensWholeFromItsFirstPiece) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    const fs::path data = quarva::testing::sourceDir() / "formatlib" / "tests" / "data";
    for (int i = 1; i <= 4; ++i) {
        const std::string piece = "rar5-solid-set.part0" + std::to_string(i) + ".rar";
        fs::copy_file(data / piece, dir() / piece);
    }
    ASSERT_TRUE(session->openWithBusyDialog((dir() / "rar5-solid-set.part01.rar").string())) << activityLog();
    EXPECT_EQ(session->doc.entries().entryCount(), 9u);
    const CZipFileInfo* last = session->doc.entries().find("elf-Linux-ARMv7-ls");
    ASSERT_NE(last, nullptr);  // its data lies in the last piece
    EXPECT_EQ(last->size, 90808u);
}

TEST_F(RealEngines, ZipsTheEngineCannotReadGoToTheLibraryAndChangesToTheEngineWhereTheyCan) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    // Cut off where its directory starts (the end record's offset): read by its local headers.
    const std::string full = (dir() / "full.zip").string();
    run("noadddialog", writeList({full, source.string()}));
    const std::string bytes = quarva::testing::readFile(full);
    const std::size_t end = bytes.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    std::uint32_t at = 0;
    for (int i = 3; i >= 0; --i) at = (at << 8) | static_cast<unsigned char>(bytes[end + 16 + std::size_t(i)]);
    const fs::path cut = dir() / "cut.zip";
    quarva::testing::writeFile(cut, bytes.substr(0, at));
    ASSERT_TRUE(session->openWithBusyDialog(cut.string())) << activityLog();
    EXPECT_EQ(session->doc.entries().entryCount(), 4u);
    EXPECT_TRUE(prompts.boxes().empty());
    const fs::path dest = dir() / "restored";
    EXPECT_FALSE(run("noextractdialog", writeList({cut.string(), dest.string()})));
    expectSame(source / "docs" / "deep" / "bin.raw", stored(dest, source / "docs" / "deep" / "bin.raw"));
    expectSame(source / "docs" / "guide.txt", stored(dest, source / "docs" / "guide.txt"));
    // Changes are refused with the way out; the file stays as it was.
    ASSERT_TRUE(session->openWithBusyDialog(cut.string())) << activityLog();
    auto& wrapper = session->doc.wrapper();
    EXPECT_EQ(wrapper.addFiles(AddOptions{}, {loose.string()}), code(OutcomeCode::NoCentralDirectory));
    EXPECT_EQ(wrapper.deleteFiles({"sample\\readme.txt"}), code(OutcomeCode::NoCentralDirectory));
    ASSERT_EQ(prompts.boxes().size(), 2u);
    EXPECT_EQ(prompts.boxes()[1].caption, "Quarva.Zip Suite");
    EXPECT_EQ(prompts.boxes()[1].buttons, platform::Buttons::Ok);
    EXPECT_EQ(prompts.boxes()[1].icon, platform::Icon::Stop);
    EXPECT_EQ(prompts.boxes()[1].text,
              "This zip has no central directory (it was streamed, or cut off before its end).\nIts files can be "
              "viewed, tested and extracted, but nothing can be added or deleted.\nRepair it first with \"Fix Zip\" "
              "in the Actions menu.");
    EXPECT_EQ(quarva::testing::readFile(cut), bytes.substr(0, at));

    // PPMd entries: read by the library; a delete is the engine's, which copies the rest.
    const fs::path ppmd = dir() / "ppmd.zipx";
    fs::copy_file(quarva::testing::sourceDir() / "formatlib" / "tests" / "data" / "zip-ppmd-three-files.zipx", ppmd);
    ASSERT_TRUE(session->openWithBusyDialog(ppmd.string())) << activityLog();
    EXPECT_EQ(session->doc.entries().entryCount(), 3u);
    EXPECT_EQ(wrapper.deleteFiles({"ts.conf"}), 0) << activityLog();
    ASSERT_TRUE(session->doc.openArchive(ppmd.string(), "ppmd.zipx")) << activityLog();
    EXPECT_EQ(session->doc.entries().entryCount(), 2u);
    EXPECT_EQ(wrapper.testFiles({"*"}), 0) << activityLog();
    EXPECT_FALSE(run("noextractdialog", writeList({ppmd.string(), (dir() / "ppmd").string()})));
    EXPECT_EQ(fs::file_size(dir() / "ppmd" / "vimrc"), 912u);
    EXPECT_EQ(prompts.boxes().size(), 2u) << prompts.boxes().back().text;
}

TEST_F(RealEngines, ExtractingIntoTheTemporaryFolderSchedulesDeletion) {
    std::string archive = (dir() / "t.zip").string();
    run("noadddialog", writeList({archive, loose.string()}));
    ASSERT_TRUE(app->deletionList.open(dir()));
    fs::path dest = session->progress.state.tempFolder;
    run("noextractdialog", writeList({archive, dest.string()}));
    std::string recorded = quarva::testing::readFile(dir() / "~QuarvaDel.tmp");
    EXPECT_EQ(recorded, stored(dest, loose).string() + "\r\n");
    EXPECT_TRUE(app->deletionList.deleteRecordedFiles());
    EXPECT_FALSE(fs::exists(stored(dest, loose)));
}

TEST_F(RealEngines, AChosenFolderBeneathTheTemporaryFolderKeepsItsFiles) {
    std::string archive = (dir() / "t.zip").string();
    run("noadddialog", writeList({archive, loose.string()}));
    ASSERT_TRUE(app->deletionList.open(dir()));
    fs::path dest = fs::path(session->progress.state.tempFolder) / "chosen";
    run("noextractdialog", writeList({archive, dest.string()}));
    EXPECT_EQ(quarva::testing::readFile(dir() / "~QuarvaDel.tmp"), "");
    EXPECT_TRUE(app->deletionList.deleteRecordedFiles());
    EXPECT_TRUE(fs::exists(stored(dest, loose)));
}

TEST_F(RealEngines, ListingAMissingZipReportsArchiveNotFound) {
    EXPECT_FALSE(session->openWithBusyDialog((dir() / "missing.zip").string()));
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, "Archive Not Found");
}

// Presses "Cancel" as soon as the first file shows in the busy dialog.
class CancellingBusyFactory : public IBusyDialogFactory {
public:
    std::unique_ptr<IBusyDialog> create(std::function<void()> onCancel) override {
        return std::make_unique<Dialog>(std::move(onCancel));
    }

private:
    class Dialog : public IBusyDialog {
    public:
        explicit Dialog(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
        void setText(const std::string&) override {
            if (cancel_) std::exchange(cancel_, nullptr)();
        }
        void hideCancel() override {}

    private:
        std::function<void()> cancel_;
    };
};

TEST_F(RealEngines, CancelDuringAnAddEndsWithUserAborted) {
    for (int i = 0; i < 50; ++i)
        quarva::testing::writeFile(source / "many" / ("f" + std::to_string(i) + ".bin"),
                                   quarva::testing::randomBytes(20000, static_cast<std::uint32_t>(i)));
    CancellingBusyFactory cancelling;
    session->busyFactory = &cancelling;
    prompts.queue(platform::Answer::No);
    std::string archive = (dir() / "cancelled.zip").string();
    run("noadddialog", writeList({archive, source.string()}));
    ASSERT_EQ(prompts.boxes().size(), 1u) << activityLog();
    EXPECT_EQ(prompts.boxes()[0].text, "User Aborted\nDo you want to see the log file ?");
    EXPECT_FALSE(fs::exists(archive));  // nothing half-written is left
}

TEST_F(RealEngines, HiddenRunWithoutAWindow) {
    session.reset();
    std::string archive = (dir() / "hidden.zip").string();
    std::string list = writeList({archive, loose.string()});
    app->parseCommandLine({"/noadddialog", list});
    EXPECT_EQ(runHiddenAction(*app, launcher), 0);
    EXPECT_TRUE(fs::exists(archive));
    app->parseCommandLine({"/new"});
    EXPECT_EQ(runHiddenAction(*app, launcher), 1);
    EXPECT_FALSE(isHiddenSwitch("open"));
    EXPECT_TRUE(isHiddenSwitch("SFX"));
    EXPECT_FALSE(isHiddenSwitch("sfx"));
}

}  // namespace
// Answers the password question from a list and counts what reaches the window.
class PasswordAnswers : public ListedEntries {
public:
    std::vector<std::optional<std::string>> answers;
    int asked = 0, errors = 0;
    void fileError(const FileErrorReport&) override { ++errors; }
    std::optional<std::string> passwordRequested(const std::string&, const std::string&) override {
        return asked < static_cast<int>(answers.size()) ? answers[asked++] : std::nullopt;
    }
};

TEST_F(RealEngines, AnEncryptedArchiveOfTheLibraryAsksForItsPassword) {
    if (app->libraryPath.empty()) GTEST_SKIP() << "libqzip32.so is not built";
    if (std::system("command -v 7z >/dev/null") != 0) GTEST_SKIP() << "7z is not installed";
    quarva::testing::writeFile(dir() / "a.txt", "first secret\n");
    const std::string archive = (dir() / "enc.7z").string();
    ASSERT_EQ(std::system(("cd '" + dir().string() + "' && 7z a -bd -p'Pass word' enc.7z a.txt >/dev/null").c_str()),
              0);
    CFormatLibraryBackend library(createFormatLibrary(app->libraryPath));
    ExtractOptions options;

    // A wrong password is asked again; the right one extracts; nothing failed is shown.
    PasswordAnswers sink;
    sink.answers = {std::string("wrong"), std::string("Pass word")};
    options.destination = (dir() / "out").string();
    EXPECT_EQ(library.extract(archive, {}, options, sink), 0);
    EXPECT_EQ(sink.asked, 2);
    EXPECT_EQ(sink.errors, 0);
    EXPECT_EQ(quarva::testing::readFile(dir() / "out" / "a.txt"), "first secret\n");
    PasswordAnswers tester;
    tester.answers = {std::string("Pass word")};
    EXPECT_EQ(library.test(archive, {}, TestOptions{}, tester), 0);
    EXPECT_EQ(tester.errors, 0);

    // Given up: the refusal is shown and nothing is written.
    PasswordAnswers cancelled;
    options.destination = (dir() / "none").string();
    library.extract(archive, {}, options, cancelled);
    EXPECT_EQ(cancelled.asked, 0);
    EXPECT_GT(cancelled.errors, 0);
    EXPECT_FALSE(fs::exists(dir() / "none" / "a.txt"));
}

}  // namespace quarva::archive
