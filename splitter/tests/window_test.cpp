#include <gtest/gtest.h>

#include "SplitterTestSupport.h"
#include "splitter/MediaRoutines.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;
using quarva::testing::writeFile;

class WindowTest : public SplitterTest {
protected:
    std::string working() const { return (dir() / "installed" / "Working").string(); }
};

TEST_F(WindowTest, InitialState) {
    auto dlg = makeDlg();
    auto v = dlg->view();
    EXPECT_EQ(v.caption, "Quarva.Split");
    EXPECT_TRUE(v.splitMode);
    EXPECT_EQ(v.sourceLabel, "&Open source");
    EXPECT_EQ(v.actionButton, "S&plit");
    EXPECT_EQ(v.status[0], "Split");
    EXPECT_EQ(v.status[2], "1.44 MB");
    EXPECT_EQ(v.destinationBox, working());
    EXPECT_EQ(v.status[1], compactPath(working(), 23));
    EXPECT_EQ(v.checkedSize, SizeChoice::Floppy);
    EXPECT_EQ(dlg->chunkSize(), 1457664u);
    EXPECT_FALSE(dlg->customSize());
    EXPECT_FALSE(v.progressBarVisible);
    EXPECT_FALSE(v.settingsPaneOpen);
    EXPECT_EQ(dlg->splitFilesFolder(), working());
}

TEST_F(WindowTest, EachModeKeepsItsOwnChoices) {
    auto dlg = makeDlg();
    auto source = makeSource("s.bin", 5000);
    dlg->OnFileChosen(source.string(), src.string());
    dlg->OnFolderChosen(out.string());
    dlg->SetMode(false);
    auto v = dlg->view();
    EXPECT_FALSE(v.splitMode);
    EXPECT_EQ(v.sourceLabel, "&Open .sio file");
    EXPECT_EQ(v.actionButton, "&Rejoin");
    EXPECT_FALSE(v.sizeMenuVisible);
    EXPECT_EQ(v.sourceBox, "");
    EXPECT_EQ(v.destinationBox, working());
    EXPECT_EQ(v.status[0], "Rejoin");
    EXPECT_EQ(v.status[2], "");
    dlg->OnFolderChosen(back.string());

    dlg->SetMode(true);
    v = dlg->view();
    EXPECT_EQ(v.sourceBox, source.string());
    EXPECT_EQ(v.destinationBox, out.string());
    EXPECT_EQ(dlg->splitFilesFolder(), src.string());
    EXPECT_EQ(v.sizeLabel, "File size is 5000 bytes");
    dlg->SetMode(true);  // no change, no swap
    EXPECT_EQ(dlg->view().destinationBox, out.string());
    dlg->SetMode(false);
    EXPECT_EQ(dlg->view().destinationBox, back.string());
}

TEST_F(WindowTest, SizeMenuChoices) {
    auto dlg = makeDlg();
    struct Row {
        SizeChoice choice;
        const char* status;
        bool custom;
        std::uint32_t value;
        const char* label;
    } rows[] = {
        {SizeChoice::TenMb, "10 MB", false, 10000000, ""},
        {SizeChoice::HundredMb, "100 MB", false, 100000000, ""},
        {SizeChoice::Floppy, "1.44 MB", false, 1457664, ""},
        {SizeChoice::Bytes, "Custom [bytes]", true, 1, "In bytes:"},
        {SizeChoice::KiloBytes, "Custom [KB]", true, 1000, "In kilo bytes:"},
        {SizeChoice::MegaBytes, "Custom [MB]", true, 1000000, "In mega bytes:"},
        {SizeChoice::Files, "File count", true, 0, "Total files:"},
    };
    for (const Row& r : rows) {
        dlg->ChooseSize(r.choice);
        auto v = dlg->view();
        EXPECT_EQ(v.status[2], r.status);
        EXPECT_EQ(v.checkedSize, r.choice);
        EXPECT_EQ(v.customBoxVisible, r.custom);
        EXPECT_EQ(dlg->customSize(), r.custom);
        if (r.custom) {
            EXPECT_EQ(dlg->multiplier(), r.value);
            EXPECT_EQ(v.customLabel, r.label);
        } else {
            EXPECT_EQ(dlg->chunkSize(), r.value);
        }
    }
    EXPECT_STREQ(sizeChoiceInfo(SizeChoice::TenMb).menuText, "1&0 MB Chunks");
    EXPECT_STREQ(sizeChoiceInfo(SizeChoice::KiloBytes).menuText, "&Kilo Bytes [KB]");
    // The menu works in split mode only.
    dlg->SetMode(false);
    dlg->ChooseSize(SizeChoice::TenMb);
    EXPECT_EQ(dlg->view().checkedSize, SizeChoice::Files);
}

TEST_F(WindowTest, EnableControlsAndStatusBar) {
    auto dlg = makeDlg();
    dlg->EnableControls(false);
    auto v = dlg->view();
    EXPECT_FALSE(v.controlsEnabled);
    EXPECT_TRUE(v.progressLabelVisible);
    EXPECT_TRUE(v.splitButtonEnabled);
    EXPECT_FALSE(v.rejoinButtonEnabled);
    dlg->EnableControls(true);
    v = dlg->view();
    EXPECT_TRUE(v.controlsEnabled && v.splitButtonEnabled && v.rejoinButtonEnabled);
    EXPECT_FALSE(v.progressLabelVisible);

    auto source = makeSource("a-rather-long-file-name-for-the-caption.bin", 123);
    dlg->OnFileChosen(source.string(), src.string());
    dlg->RefreshStatusBar("xyz", 2);
    v = dlg->view();
    EXPECT_EQ(v.status[2], "xyz");
    EXPECT_EQ(v.caption, "Quarva.Split " + compactPath(source.string(), 26));
    EXPECT_EQ(v.status[1], compactPath(working(), 26));
    EXPECT_EQ(v.sizeLabel, "File size is 123 bytes");
    dlg->RefreshStatusBar("ignored", 1);
    EXPECT_EQ(dlg->view().status[2], "xyz");
}

TEST_F(WindowTest, FileChooser) {
    auto dlg = makeDlg();
    auto source = makeSource("chosen.bin", 77);
    prompts.queueFile(source);
    dlg->OnSelectFile();
    auto files = prompts.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].title, "Choose a file for splitting");
    EXPECT_EQ(files[0].filter, "All Files (*.*)|*.*|Movie Files (*.dat)|*.dat|Music Files (*.wav;*.mp3)|*.wav;*.mp3||");
    auto v = dlg->view();
    EXPECT_EQ(v.sourceBox, source.string());
    EXPECT_EQ(v.caption, "Quarva.Split: " + compactPath(source.string(), 30));
    EXPECT_EQ(v.sizeLabel, "File size is 77 bytes");
    EXPECT_EQ(dlg->splitFilesFolder(), src.string());

    dlg->SetMode(false);
    prompts.queueFile(source);
    dlg->OnSelectFile();
    EXPECT_EQ(prompts.files()[1].title, "Choose the SIO file from the location of split files");
    EXPECT_EQ(prompts.files()[1].filter, "SIO files (*.sio)|*.sio||");
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Enter .sio file"});

    prompts.queueFile(out);
    dlg->OnDestinationFolder();
    EXPECT_EQ(prompts.files()[2].title, "Choose a folder to keep rejoined file ");
    EXPECT_EQ(prompts.files()[2].kind, quarva::platform::FileRequest::Kind::Folder);
    EXPECT_EQ(dlg->view().destinationBox, out.string());
    EXPECT_EQ(dlg->view().status[1], compactPath(out.string(), 23));
}

TEST_F(WindowTest, OpenFileRoutine) {
    auto dlg = makeDlg();
    dlg->OpenFile((src / "missing.bin").string());
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"File does not exist or\ncould not be accessed"});

    auto plain = makeSource("plain.bin", 5000);
    dlg->OpenFile(plain.string());
    EXPECT_EQ(dlg->view().sourceBox, plain.string());
    EXPECT_EQ(dlg->view().sizeLabel, "File size is 5000 bytes");
    EXPECT_EQ(dlg->view().caption, "Quarva.Split: " + compactPath(plain.string(), 23));

    writeFile(out / "set.bin.sio", std::string(268, '\0'));
    writeFile(out / "set.bin.2.spl", "x");
    dlg->OpenFile((out / "set.bin.2.spl").string());
    auto v = dlg->view();
    EXPECT_FALSE(v.splitMode);
    EXPECT_EQ(v.sourceBox, (out / "set.bin.sio").string());
    EXPECT_EQ(v.caption, (out / "set.bin.sio").string());
    EXPECT_EQ(dlg->splitFilesFolder(), out.string());

    writeFile(out / "lonely.bin.0.spl", "x");
    dlg->OpenFile((out / "lonely.bin.0.spl").string());
    EXPECT_EQ(prompts.boxTexts().back(), (out / "lonely.bin.sio").string() + " not found.");
    EXPECT_EQ(dlg->view().caption, "");
}

TEST_F(WindowTest, CommandLineChunkOpensInRejoinMode) {
    writeFile(out / "cl.bin.sio", std::string(268, '\0'));
    writeFile(out / "cl.bin.0.spl", "x");
    CVantorSplitDlg dlg(prompts, (dir() / "installed").string());
    dlg.SetCommandLineFile((out / "cl.bin.0.spl").string());
    dlg.OnInitDialog(false);
    EXPECT_FALSE(dlg.view().splitMode);
    EXPECT_EQ(dlg.view().sourceBox, (out / "cl.bin.sio").string());
}

TEST_F(WindowTest, Drops) {
    auto dlg = makeDlg();
    auto a = makeSource("a.bin", 10);
    auto b = makeSource("b.bin", 10);
    auto before = dlg->view();
    dlg->OnDropFiles({a.string(), b.string()});
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Drag-and-drop a single file/folder"});
    EXPECT_EQ(dlg->view().sourceBox, before.sourceBox);

    dlg->OnDropFiles({out.string()});
    EXPECT_EQ(dlg->view().destinationBox, out.string());

    // A .sio file dropped in split mode becomes the source of a split.
    writeFile(src / "x.sio", std::string(268, '\0'));
    dlg->OnDropFiles({(src / "x.sio").string()});
    EXPECT_TRUE(dlg->view().splitMode);
    EXPECT_EQ(dlg->view().sourceBox, (src / "x.sio").string());
    EXPECT_EQ(dlg->view().sizeLabel, "File size is 268 bytes");

    dlg->SetMode(false);
    dlg->OnDropFiles({a.string()});
    EXPECT_EQ(prompts.boxTexts().back(), "Enter .sio or .spl file");
    dlg->OnDropFiles({(src / "x.sio").string()});
    EXPECT_EQ(dlg->view().sourceBox, (src / "x.sio").string());
}

TEST_F(WindowTest, EmptyDestinationUsesTheWorkingFolder) {
    fs::create_directories(working());
    auto source = makeSource("w.bin", 3000000);
    auto dlg = makeDlg();
    dlg->OnFileChosen(source.string(), src.string());
    dlg->OnFolderChosen("");
    dlg->OnAction();
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_TRUE(fs::exists(fs::path(working()) / "w.bin.sio"));
    EXPECT_EQ(dlg->view().destinationBox, working());
}

TEST_F(WindowTest, AutomationSizeKeywords) {
    auto dlg = makeDlg();
    struct Row {
        const char* unit;
        SizeChoice choice;
        const char* status;
    } rows[] = {
        {"B", SizeChoice::Bytes, "Custom [bytes]"},
        {"bytes", SizeChoice::Bytes, "Custom [bytes]"},
        {"kb", SizeChoice::KiloBytes, "Custom [KB]"},
        {"KILOBYTES", SizeChoice::KiloBytes, "Custom [KB]"},
        {"Kilo Bytes", SizeChoice::KiloBytes, "Custom [KB]"},
        {"MB", SizeChoice::MegaBytes, "Custom [MB]"},
        {"megabytes", SizeChoice::MegaBytes, "Custom [MB]"},
        {"MEGA BYTES", SizeChoice::MegaBytes, "Custom [MB]"},
        {"file", SizeChoice::Files, "File count"},
        {"FILES", SizeChoice::Files, "File count"},
    };
    for (const Row& r : rows) {
        dlg->Size(r.unit, 42);
        auto v = dlg->view();
        EXPECT_EQ(v.checkedSize, r.choice) << r.unit;
        EXPECT_EQ(v.status[2], r.status) << r.unit;
        EXPECT_EQ(v.customBox, "42") << r.unit;
        EXPECT_TRUE(dlg->customSize());
    }
    dlg->Size("FLOPPY", 0);
    EXPECT_EQ(dlg->view().status[2], "1.44 MB");
    EXPECT_EQ(dlg->chunkSize(), 1457664u);
    EXPECT_FALSE(dlg->customSize());
    dlg->Size("gigabytes", 5);
    EXPECT_EQ(dlg->view().checkedSize, SizeChoice::Floppy);
    // Automation sets the size in rejoin mode too.
    dlg->SetMode(false);
    dlg->Size("MB", 3);
    EXPECT_EQ(dlg->view().checkedSize, SizeChoice::MegaBytes);
    EXPECT_EQ(dlg->multiplier(), 1000000u);
}

TEST_F(WindowTest, AutomationSplitsInKilobytesAndRejoinsFromAChunk) {
    auto source = makeSource("auto.bin", 3100000);
    auto dlg = makeDlg();
    dlg->SourceFile(source.string());
    dlg->Destination(out.string());
    dlg->Size("kb", 1500);
    EXPECT_TRUE(dlg->Run());
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(sizeOf(out / "auto.bin.0.spl"), 1500000u);
    EXPECT_EQ(sizeOf(out / "auto.bin.2.spl"), 100000u);

    dlg->SourceFile((out / "auto.bin.1.spl").string());
    EXPECT_FALSE(dlg->view().splitMode);
    dlg->Destination(back.string());
    EXPECT_TRUE(dlg->Run());
    EXPECT_EQ(readFile(back / "auto.bin"), readFile(source));

    dlg->Destination((dir() / "nowhere").string());
    EXPECT_EQ(prompts.boxTexts().back(), "Path is not a folder");
    EXPECT_EQ(dlg->view().destinationBox, back.string());
}

TEST_F(WindowTest, RunWhileAnOperationRunsIsRefused) {
    auto source = makeSource("busy.bin", 500000);
    auto dlg = makeDlg();
    bool answered = false;
    dlg->setCheckpointHook([&](long) {
        if (!answered) answered = !dlg->Run();
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, out);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(prompts.shown(texts::kAlreadyRunning));
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
}

TEST_F(WindowTest, CancelWhileIdleClosesOrHides) {
    auto dlg = makeDlg();
    dlg->LinkAutomationProxy(true);
    dlg->OnCancelOperation();
    EXPECT_FALSE(dlg->view().windowVisible);
    EXPECT_FALSE(dlg->view().closed);
    dlg->LinkAutomationProxy(false);
    dlg->OnClose();
    EXPECT_TRUE(dlg->view().closed);
}

TEST_F(WindowTest, SettingsPaneOkMakesTheWorkingFolderTheDestination) {
    auto dlg = makeDlg();
    dlg->ToggleSettingsPane();
    EXPECT_TRUE(dlg->view().settingsPaneOpen);
    EXPECT_EQ(dlg->settingsPane().workingBox, working());
    dlg->settingsPane().workingBox = out.string();
    dlg->OnSettingsDone(dlg->settingsPane().OnOK(dlg->settings(), prompts));
    EXPECT_FALSE(dlg->view().settingsPaneOpen);
    EXPECT_EQ(dlg->view().destinationBox, out.string());
    EXPECT_EQ(dlg->splitFilesFolder(), out.string());
    // The other mode's destination follows too.
    dlg->SetMode(false);
    EXPECT_EQ(dlg->view().destinationBox, out.string());

    dlg->ToggleSettingsPane();
    dlg->settingsPane().workingBox = back.string();
    dlg->OnSettingsDone(dlg->settingsPane().OnCancel());
    EXPECT_FALSE(dlg->view().settingsPaneOpen);
    EXPECT_EQ(dlg->view().destinationBox, out.string());
}

TEST_F(WindowTest, RequestCancelEndsTheRunWithoutAQuestion) {
    auto source = makeSource("rc.bin", 1000000);
    auto dlg = makeDlg();
    dlg->setCheckpointHook([&](long chunk) {
        if (chunk == 2) dlg->RequestCancel();
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.boxes().empty());
    EXPECT_TRUE(filesIn(out).empty());
    dlg->RequestCancel();  // idle: nothing happens
    EXPECT_FALSE(dlg->view().closed);
}

TEST_F(WindowTest, HelpTopicsFollowTheControlAndTheMode) {
    auto dlg = makeDlg();
    const std::string book = (dir() / "installed" / "Quarva Split.htb").string();
    auto page = [&](HelpTarget t) {
        HelpTopic topic = dlg->HelpTopicFor(t);
        EXPECT_EQ(topic.book, book);
        return topic.page;
    };
    EXPECT_EQ(page(HelpTarget::SplitRadio), "Splitting a file.htm");
    EXPECT_EQ(page(HelpTarget::RejoinRadio), "Joining split files.htm");
    EXPECT_EQ(page(HelpTarget::ActionButton), "Splitting a file.htm");
    EXPECT_EQ(page(HelpTarget::SettingsCommand), "Setting up options.htm");
    EXPECT_EQ(page(HelpTarget::ContentsCommand), "");
    EXPECT_EQ(page(HelpTarget::OtherControl), "");
    dlg->SetMode(false);
    EXPECT_EQ(page(HelpTarget::ActionButton), "Joining split files.htm");
    EXPECT_EQ(page(HelpTarget::SplitRadio), "Splitting a file.htm");
    // A trailing '/' on the installed path gives no doubled separator.
    EXPECT_EQ(helpTopic(HelpTarget::OtherControl, true, "/opt/quarva/").book, "/opt/quarva/Quarva Split.htb");
}
