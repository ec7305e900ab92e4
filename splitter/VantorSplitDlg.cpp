#include "splitter/VantorSplitDlg.h"

#include <filesystem>

#include "splitter/MediaRoutines.h"
#include "splitter/SplitTexts.h"

namespace fs = std::filesystem;
using quarva::platform::Answer;
using quarva::platform::Buttons;

namespace quarva::splitter {

const SizeChoiceInfo& sizeChoiceInfo(SizeChoice choice) {
    static const SizeChoiceInfo table[] = {
        {texts::kMenuFloppy, texts::kLabelFloppy, false, kFloppyChunkSize, 1, ""},
        {texts::kMenuTenMb, texts::kLabelTenMb, false, kTenMbChunkSize, 1, ""},
        {texts::kMenuHundredMb, texts::kLabelHundredMb, false, kHundredMbChunkSize, 1, ""},
        {texts::kMenuBytes, texts::kLabelBytes, true, 0, 1, texts::kInBytes},
        {texts::kMenuKiloBytes, texts::kLabelKiloBytes, true, 0, 1000, texts::kInKiloBytes},
        {texts::kMenuMegaBytes, texts::kLabelMegaBytes, true, 0, 1000000, texts::kInMegaBytes},
        {texts::kMenuFiles, texts::kLabelFiles, true, 0, 0, texts::kTotalFiles},
    };
    return table[static_cast<int>(choice)];
}

HelpTopic helpTopic(HelpTarget target, bool splitMode, const std::string& installedPath) {
    HelpTopic topic;
    topic.book = installedPath;
    if (!topic.book.empty() && topic.book.back() != '/') topic.book += '/';
    topic.book += texts::kHelpBook;
    switch (target) {
    case HelpTarget::SplitRadio: topic.page = texts::kHelpSplitting; break;
    case HelpTarget::RejoinRadio: topic.page = texts::kHelpJoining; break;
    case HelpTarget::ActionButton: topic.page = splitMode ? texts::kHelpSplitting : texts::kHelpJoining; break;
    case HelpTarget::SettingsCommand: topic.page = texts::kHelpSettings; break;
    case HelpTarget::ContentsCommand:
    case HelpTarget::OtherControl: break;
    }
    return topic;
}

namespace {

bool isFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

void applyModeTexts(SplitterView& v) {
    v.sourceLabel = v.splitMode ? texts::kOpenSourceLabel : texts::kOpenSioLabel;
    v.actionButton = v.splitMode ? texts::kSplitAction : texts::kRejoinAction;
    v.fileButton = "Select a &file";
    v.destinationLabel = "&Choose destination";
    v.sizeMenuVisible = v.splitMode;
}

}  // namespace

CVantorSplitDlg::CVantorSplitDlg(platform::Prompts& prompts, std::string fallbackInstalledPath)
    : prompts_(prompts), fallbackInstalledPath_(std::move(fallbackInstalledPath)) {
    settings_.Load(fallbackInstalledPath_);
    settings_.EnterStartupFolder();
    applyModeTexts(view_);
}

CVantorSplitDlg::~CVantorSplitDlg() = default;  // a running job is cancelled and waited for

void CVantorSplitDlg::Update(const std::function<void(SplitterView&)>& change) {
    SplitterView copy;
    {
        std::lock_guard lock(viewMutex_);
        change(view_);
        copy = view_;
    }
    if (observer_) observer_(copy);
}

SplitterView CVantorSplitDlg::view() const {
    std::lock_guard lock(viewMutex_);
    return view_;
}

std::string CVantorSplitDlg::splitFilesFolder() const {
    std::lock_guard lock(viewMutex_);
    return splitFilesFolder_;
}

Answer CVantorSplitDlg::Message(const std::string& text) { return askUnlessInterrupted(prompts_, text); }

void CVantorSplitDlg::OnInitDialog(bool checkFolders) {
    chunkSize_ = kFloppyChunkSize;
    customSize_ = false;
    multiplier_ = 1;
    const std::string working = settings_.workingFolder;
    Update([&](SplitterView& v) {
        v.splitMode = true;
        applyModeTexts(v);
        v.checkedSize = SizeChoice::Floppy;
        v.customBoxVisible = false;
        v.status[2] = texts::kLabelFloppy;
        v.status[0] = texts::kModeSplit;
        v.settingsPaneOpen = false;
        v.destinationBox = working;
        v.status[1] = compactPath(working, 23);
        splitFilesFolder_ = working;
        otherDestination_ = working;
        otherSplitFilesFolder_ = working;
    });
    if (!commandLineFile_.empty()) OpenFile(commandLineFile_);
    if (checkFolders) CheckFolders();
}

void CVantorSplitDlg::CheckFolders() { settings_.CheckFolders(prompts_); }

void CVantorSplitDlg::SetMode(bool split) {
    if (busy()) return;
    const bool custom = customSize_;
    Update([&](SplitterView& v) {
        if (v.splitMode != split) {
            std::swap(v.sourceBox, otherSource_);
            std::swap(v.destinationBox, otherDestination_);
            std::swap(splitFilesFolder_, otherSplitFilesFolder_);
        }
        v.splitMode = split;
        applyModeTexts(v);
        v.customBoxVisible = split && custom;
        v.progressBarVisible = false;
    });
    RefreshStatusBar("", 2);
}

void CVantorSplitDlg::ChooseSize(SizeChoice choice) {
    if (busy() || !view().splitMode) return;  // the size menu works in split mode only
    const SizeChoiceInfo& info = sizeChoiceInfo(choice);
    customSize_ = info.custom;
    if (info.custom) multiplier_ = info.multiplier;
    else chunkSize_ = info.chunkSize;
    Update([&](SplitterView& v) {
        v.checkedSize = choice;
        v.customBoxVisible = info.custom;
        if (info.custom) v.customLabel = info.customLabel;
        v.status[2] = info.statusLabel;
    });
}

void CVantorSplitDlg::SetCustomSizeText(std::string text) {
    if (busy()) return;
    Update([&](SplitterView& v) { v.customBox = std::move(text); });
}

void CVantorSplitDlg::ShowSizeLabel() {
    Update([&](SplitterView& v) {
        v.sizeLabel.clear();
        if (!v.splitMode || !isFile(v.sourceBox)) return;
        std::error_code ec;
        auto size = fs::file_size(v.sourceBox, ec);
        if (ec) return;
        v.sizeLabel = "File size is " + std::to_string(size) + " bytes";
    });
}

void CVantorSplitDlg::OnSelectFile() {
    if (busy()) return;
    Update([](SplitterView& v) { v.progressBarVisible = false; });
    const bool split = view().splitMode;
    platform::FileRequest request;
    request.kind = platform::FileRequest::Kind::Open;
    request.title = split ? texts::kChooseSplitFile : texts::kChooseSioFile;
    request.filter = split ? texts::kSplitFilter : texts::kSioFilter;
    request.initialFolder = platform::currentDirectory();
    auto chosen = prompts_.chooseFile(request);
    if (!chosen) return;
    if (!isFile(chosen->string())) {
        Message(texts::kFileNotAccessible);
        return;
    }
    OnFileChosen(chosen->string(), folderPart(fs::absolute(*chosen).string()));
}

void CVantorSplitDlg::OnFileChosen(const std::string& path, const std::string& folderEndedIn) {
    Update([&](SplitterView& v) { v.sourceBox = path; });
    const bool split = view().splitMode;
    if (!split && !endsWithNoCase(path, ".SIO")) {
        Message(texts::kEnterSio);
        return;
    }
    Update([&](SplitterView& v) { v.caption = texts::kCaptionPrefix + compactPath(path, 30); });
    if (split) ShowSizeLabel();
    if (folderEndedIn.empty()) {
        Message(texts::kNoCurrentDirectory);
        return;
    }
    Update([&](SplitterView&) { splitFilesFolder_ = folderEndedIn; });
}

void CVantorSplitDlg::OnDestinationFolder() {
    if (busy()) return;
    Update([](SplitterView& v) { v.progressBarVisible = false; });
    platform::FileRequest request;
    request.kind = platform::FileRequest::Kind::Folder;
    request.title = view().splitMode ? texts::kChooseSplitFolder : texts::kChooseRejoinFolder;
    auto chosen = prompts_.chooseFile(request);
    if (chosen) OnFolderChosen(chosen->string());
}

void CVantorSplitDlg::OnFolderChosen(const std::string& folder) {
    Update([&](SplitterView& v) {
        v.destinationBox = folder;
        v.status[1] = compactPath(folder, 23);
    });
}

void CVantorSplitDlg::OpenRejoinPath(const std::string& path) {
    SetMode(false);
    std::optional<std::string> info = endsWithNoCase(path, ".SPL") ? infoPathFromChunkPath(path) : std::optional(path);
    if (info) Update([&](SplitterView& v) { v.sourceBox = *info; });
    if (info && isFile(*info)) {
        Update([&](SplitterView& v) {
            v.caption = *info;
            splitFilesFolder_ = folderPart(fs::absolute(*info).string());
        });
        return;
    }
    Message((info ? *info : path) + texts::kNotFoundSuffix);
    Update([](SplitterView& v) { v.caption.clear(); });
}

void CVantorSplitDlg::OpenFile(const std::string& path) {
    if (busy()) return;
    if (!isFile(path)) {
        Message(texts::kFileNotAccessible);
        return;
    }
    Update([&](SplitterView& v) { v.caption = texts::kCaptionPrefix + compactPath(path, 23); });
    if (endsWithNoCase(path, ".SPL") || endsWithNoCase(path, ".SIO")) {
        OpenRejoinPath(path);
        return;
    }
    Update([&](SplitterView& v) { v.sourceBox = path; });
    ShowSizeLabel();
}

void CVantorSplitDlg::OnDropFiles(const std::vector<std::string>& paths) {
    if (busy()) return;
    if (paths.size() != 1) {
        Message(texts::kSingleDrop);
        return;
    }
    const std::string& path = paths.front();
    if (isFolder(path)) {
        OnFolderChosen(path);
        return;
    }
    if (!view().splitMode) {
        if (!endsWithNoCase(path, ".SIO") && !endsWithNoCase(path, ".SPL")) {
            Message(texts::kEnterSioOrSpl);
            return;
        }
        Update([&](SplitterView& v) { v.caption = texts::kCaptionPrefix + compactPath(path, 23); });
        OpenRejoinPath(path);
        return;
    }
    Update([&](SplitterView& v) {
        v.caption = texts::kCaptionPrefix + compactPath(path, 23);
        v.sourceBox = path;
        splitFilesFolder_ = folderPart(fs::absolute(path).string());
    });
    ShowSizeLabel();
}

void CVantorSplitDlg::CloseSettingsPane() {
    Update([](SplitterView& v) { v.settingsPaneOpen = false; });
}

void CVantorSplitDlg::ToggleSettingsPane() {
    if (busy()) return;  // disabled while an operation runs
    bool open = false;
    Update([&](SplitterView& v) {
        v.settingsPaneOpen = !v.settingsPaneOpen;
        open = v.settingsPaneOpen;
    });
    if (open) pane_.Open(settings_);
}

HelpTopic CVantorSplitDlg::HelpTopicFor(HelpTarget target) const {
    const std::string& installed = settings_.installedPath.empty() ? fallbackInstalledPath_ : settings_.installedPath;
    return helpTopic(target, view().splitMode, installed);
}

void CVantorSplitDlg::OnSettingsDone(int word) {
    if (view().settingsPaneOpen) CloseSettingsPane();
    if (word != CSettingsPane::kDoneOk) return;
    const std::string working = settings_.workingFolder;
    Update([&](SplitterView& v) {
        v.destinationBox = working;
        v.status[1] = compactPath(working, 23);
        splitFilesFolder_ = working;
        otherDestination_ = working;
    });
}

bool CVantorSplitDlg::OnAction() {
    if (busy()) {
        // Automation calls are still served while an operation runs.
        Message(texts::kAlreadyRunning);
        return false;
    }
    if (view().settingsPaneOpen) CloseSettingsPane();
    EndOperation();

    SplitterView v = view();
    JobRequest request;
    request.split = v.splitMode;
    request.sourcePath = trimRight(v.sourceBox);
    request.destFolder = v.destinationBox;
    // The drive type as the box holds it now, before an empty box is filled in.
    request.destDriveType =
        request.destFolder.empty() ? platform::DriveType::NoRootDir : platform::driveType(request.destFolder);
    if (isFile(request.sourcePath) && request.destFolder.empty()) {
        request.destFolder = settings_.workingFolder;
        OnFolderChosen(request.destFolder);
    }
    if (!checkJobRequest(request, prompts_)) return true;
    request.customSize = customSize_;
    request.chunkSize = chunkSize_;
    request.multiplier = multiplier_;
    request.customText = v.customBox;
    request.eraseBeforeSplit = settings_.eraseBeforeSplit;
    request.removeAfterRejoin = settings_.removeAfterRejoin;
    request.replaceExisting = replaceExisting_;

    job_ = COperationJob::create(std::move(request), prompts_, MakeJobEvents());
    job_->start();
    // Keep the window alive until the job says it has ended.
    while (!job_->waitFor(std::chrono::milliseconds(pump_ ? 10 : 200)))
        if (pump_) pump_();
    job_->join();
    return true;
}

JobEvents CVantorSplitDlg::MakeJobEvents() {
    JobEvents events;
    events.began = [this] {
        EnableControls(false);
        Update([](SplitterView& v) {
            v.progressBarStep = 10;
            v.progressPos = 0;
            v.progressBarVisible = true;
        });
    };
    events.progress = [this](int pos, const std::string& label) {
        Update([&](SplitterView& v) {
            v.progressPos = pos;
            v.progressLabel = label;
        });
    };
    events.pieceDone = [this] { RefreshStatusBar("", 0); };
    events.ended = [this](JobEnd end, std::uint32_t chunkSize) { OnJobEnded(end, chunkSize); };
    events.checkpoint = checkpointHook_;
    return events;
}

// On the worker thread, before the closing message of a completed run.
void CVantorSplitDlg::OnJobEnded(JobEnd end, std::uint32_t chunkSize) {
    const bool split = job_->request().split;
    // A split keeps the chunk size it worked with (a custom one as computed).
    if (split) chunkSize_ = chunkSize;
    if (end == JobEnd::Completed && split) {
        // A finished split clears the custom size.
        customSize_ = false;
        Update([](SplitterView& v) {
            v.progressPos = 100;
            v.customBoxVisible = false;
        });
    }
    EnableControls(true);
    if (end == JobEnd::Completed) RefreshStatusBar("", 0);
    Update([](SplitterView& v) {
        v.progressBarVisible = false;
        v.progressLabelVisible = false;
    });
}

void CVantorSplitDlg::OnCancelOperation() {
    if (busy()) {
        // The job holds at its next checkpoint while the user decides.
        job_->control().pause();
        Answer answer = prompts_.message(texts::kSuspended, texts::kSuspendedCaption, Buttons::OkCancel);
        job_->control().resume(answer != Answer::Ok);
        return;
    }
    Update([&](SplitterView& v) {
        if (proxyLinked_) v.windowVisible = false;
        else v.closed = true;
    });
}

void CVantorSplitDlg::RequestCancel() {
    if (busy()) job_->control().cancel();
}

bool CVantorSplitDlg::Run() {
    if (busy()) {
        Message(texts::kAlreadyRunning);
        return false;
    }
    OnAction();
    return true;
}

void CVantorSplitDlg::SourceFile(const std::string& path) { OpenFile(path); }

void CVantorSplitDlg::Destination(const std::string& folder) {
    if (busy()) return;
    if (!isFolder(folder)) {
        Message(texts::kPathNotFolder);
        return;
    }
    OnFolderChosen(folder);
}

void CVantorSplitDlg::Size(const std::string& unit, std::int32_t value) {
    if (busy()) return;
    const std::string u = upperCase(unit);
    SizeChoice choice;
    if (u == "B" || u == "BYTES") choice = SizeChoice::Bytes;
    else if (u == "KB" || u == "KILOBYTES" || u == "KILO BYTES") choice = SizeChoice::KiloBytes;
    else if (u == "MB" || u == "MEGABYTES" || u == "MEGA BYTES") choice = SizeChoice::MegaBytes;
    else if (u == "FILE" || u == "FILES") choice = SizeChoice::Files;
    else if (u == "FLOPPY") choice = SizeChoice::Floppy;
    else return;
    // Unlike the size menu, automation sets the size in either mode.
    const SizeChoiceInfo& info = sizeChoiceInfo(choice);
    customSize_ = info.custom;
    if (info.custom) multiplier_ = info.multiplier;
    else chunkSize_ = info.chunkSize;
    Update([&](SplitterView& v) {
        v.checkedSize = choice;
        v.customBoxVisible = info.custom && v.splitMode;
        if (info.custom) {
            v.customLabel = info.customLabel;
            v.customBox = std::to_string(value);
        }
        v.status[2] = info.statusLabel;
    });
}

void CVantorSplitDlg::LinkAutomationProxy(bool linked) { proxyLinked_ = linked; }

void CVantorSplitDlg::EnableControls(bool enable) {
    Update([&](SplitterView& v) {
        v.controlsEnabled = enable;
        v.settingsCommandEnabled = enable;
        v.progressLabelVisible = !enable;
        if (enable) {
            v.splitButtonEnabled = v.rejoinButtonEnabled = true;
        } else {
            v.splitButtonEnabled = v.splitMode;
            v.rejoinButtonEnabled = !v.splitMode;
        }
    });
}

void CVantorSplitDlg::RefreshStatusBar(const std::string& text, int part) {
    bool split = true;
    Update([&](SplitterView& v) {
        v.status[0] = v.splitMode ? texts::kModeSplit : texts::kModeRejoin;
        v.sizeLabel.clear();
        if (part == 2) v.status[2] = text;
        v.status[1] = compactPath(v.destinationBox, 26);
        v.caption = texts::kRefreshCaptionPrefix + compactPath(v.sourceBox, 26);
        split = v.splitMode;
    });
    if (split) ShowSizeLabel();
}

void CVantorSplitDlg::EndOperation() {
    if (!busy()) job_.reset();  // leftovers of an earlier run go with it
    Update([](SplitterView& v) {
        v.controlsEnabled = true;
        v.settingsCommandEnabled = true;
        v.splitButtonEnabled = v.rejoinButtonEnabled = true;
        v.progressBarVisible = false;
        v.progressLabelVisible = false;
    });
}

}  // namespace quarva::splitter
