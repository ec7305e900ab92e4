#pragma once
// The splitter window's logic without a window: what the window shows (`SplitterView`)
// and the choices the user makes. The action starts a split or rejoin job
// (splitter/OperationJob.h) on a worker thread and shows what it reports. The wx window
// shows `view()` and forwards its events to the On... members; automation and the tests
// drive the same members directly.
//
// Threads: the window thread calls the On... members. `OnAction` starts the job and
// keeps calling the pump (the window's event loop) until the job has ended. The job
// asks its own questions through Prompts on the worker thread, and the view changes it
// causes are made under a lock; the observer is told after every change, from either
// thread. Pause and cancel are cooperative: "&Cancel" asks the user while the job holds
// at its next checkpoint (between passes), and a cancelled job cleans up itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Prompts.h"
#include "splitter/OperationJob.h"
#include "splitter/SplitSettings.h"

namespace quarva::splitter {

enum class SizeChoice { Floppy, TenMb, HundredMb, Bytes, KiloBytes, MegaBytes, Files };

// The size menu's text, status-bar label, chunk size (fixed choices) or multiplier (custom).
struct SizeChoiceInfo {
    const char* menuText;
    const char* statusLabel;
    bool custom;
    std::uint32_t chunkSize;   // fixed choices
    std::uint32_t multiplier;  // custom choices; 0 = by file count
    const char* customLabel;   // label beside the custom-size box
};
const SizeChoiceInfo& sizeChoiceInfo(SizeChoice choice);

// Where help is asked for: F1 on a control or a menu item, or "&Contents".
enum class HelpTarget { SplitRadio, RejoinRadio, ActionButton, SettingsCommand, ContentsCommand, OtherControl };
// A place in the splitter's help book: the book's path and a page in it (empty: the
// book's main page).
struct HelpTopic {
    std::string book;
    std::string page;
};
// The topic of `target` in the book below `installedPath`; the action button's topic
// follows the mode.
HelpTopic helpTopic(HelpTarget target, bool splitMode, const std::string& installedPath);

// What the window shows.
struct SplitterView {
    std::string caption = "Quarva.Split";
    bool splitMode = true;
    std::string sourceLabel, fileButton = "Select a &file", destinationLabel = "&Choose destination", actionButton;
    std::string sourceBox, destinationBox;
    std::string sizeLabel;  // "File size is %u bytes" in split mode
    bool sizeMenuVisible = true;
    SizeChoice checkedSize = SizeChoice::Floppy;
    bool customBoxVisible = false;
    std::string customBox, customLabel;
    std::string status[4];
    bool progressBarVisible = false;
    int progressBarStep = 10;
    int progressPos = 0;
    bool progressLabelVisible = false;
    std::string progressLabel;
    bool controlsEnabled = true;  // boxes, choosers, action and size menu buttons
    bool splitButtonEnabled = true, rejoinButtonEnabled = true;
    bool settingsPaneOpen = false;
    bool settingsCommandEnabled = true;
    bool windowVisible = true;
    bool closed = false;  // the window was closed: the program ends
};

class CVantorSplitDlg {
public:
    // `fallbackInstalledPath` stands in for an empty "Installed Path" (the program's folder).
    explicit CVantorSplitDlg(platform::Prompts& prompts, std::string fallbackInstalledPath = {});
    ~CVantorSplitDlg();
    CVantorSplitDlg(const CVantorSplitDlg&) = delete;
    CVantorSplitDlg& operator=(const CVantorSplitDlg&) = delete;

    // Window initialization; `checkFolders` offers to create a missing working or
    // startup folder (the headless front end, given its destination, skips it).
    void OnInitDialog(bool checkFolders = true);
    // Offers to create a missing working or startup folder.
    void CheckFolders();
    void SetCommandLineFile(std::string path) { commandLineFile_ = std::move(path); }

    // User actions.
    void SetMode(bool split);
    void ChooseSize(SizeChoice choice);
    void SetCustomSizeText(std::string text);
    void OnSelectFile();  // "Select a fi&le": file chooser
    void OnFileChosen(const std::string& path, const std::string& folderEndedIn);
    void OnDestinationFolder();  // "&Destination folder": folder chooser
    void OnFolderChosen(const std::string& folder);
    void OpenFile(const std::string& path);  // the open-file routine
    void OnDropFiles(const std::vector<std::string>& paths);
    bool OnAction();
    void OnCancelOperation();
    // Cancels a running operation without asking (an interrupt of the headless run);
    // the worker cleans up as after "Cancel" to the suspend question.
    void RequestCancel();
    void OnClose() { OnCancelOperation(); }
    void ToggleSettingsPane();
    CSettingsPane& settingsPane() { return pane_; }
    void OnSettingsDone(int word);
    // The help topic of a control or command, in the book on the installed path.
    HelpTopic HelpTopicFor(HelpTarget target) const;

    // Automation members, by dispatch id 1 to 4.
    bool Run();
    void SourceFile(const std::string& path);
    void Destination(const std::string& folder);
    void Size(const std::string& unit, std::int32_t value);
    void LinkAutomationProxy(bool linked);

    // Used by the window and while a job runs.
    void EnableControls(bool enable);
    void RefreshStatusBar(const std::string& text, int part);
    void EndOperation();

    SplitterView view() const;
    bool busy() const { return job_ && job_->running(); }
    const CSplitSettings& settings() const { return settings_; }
    CSplitSettings& settings() { return settings_; }
    // Chunk size and choice survive runs; read them while idle.
    std::uint32_t chunkSize() const { return chunkSize_; }
    std::uint32_t chunkCount() const { return job_ ? job_->chunkCount() : 0; }
    bool customSize() const { return customSize_; }
    std::uint32_t multiplier() const { return multiplier_; }
    std::string splitFilesFolder() const;

    // The window's event loop, run by OnAction while the worker works.
    void setPump(std::function<void()> pump) { pump_ = std::move(pump); }
    // Told after every change of the view, from either thread.
    void setObserver(std::function<void(const SplitterView&)> observer) { observer_ = std::move(observer); }
    // Called by the job at each checkpoint, before it looks for a pause (tests).
    void setCheckpointHook(std::function<void(long chunk)> hook) { checkpointHook_ = std::move(hook); }
    void setReplaceExisting(ReplaceExisting policy) { replaceExisting_ = policy; }

private:
    JobEvents MakeJobEvents();
    void OnJobEnded(JobEnd end, std::uint32_t chunkSize);
    platform::Answer Message(const std::string& text);

    // Window helpers.
    void Update(const std::function<void(SplitterView&)>& change);
    void ShowSizeLabel();
    void OpenRejoinPath(const std::string& path);  // steps 2 and 3 of the open-file routine
    void CloseSettingsPane();

    platform::Prompts& prompts_;
    std::string fallbackInstalledPath_;
    CSplitSettings settings_;
    CSettingsPane pane_;
    // The size choice: a fixed chunk size, or a custom one with its multiplier.
    std::uint32_t chunkSize_ = kFloppyChunkSize;
    bool customSize_ = false;
    std::uint32_t multiplier_ = 1;
    std::unique_ptr<COperationJob> job_;  // the running job, or the last one until the next action

    mutable std::mutex viewMutex_;
    SplitterView view_;
    std::string splitFilesFolder_;
    // The other mode's choices, swapped in when the mode changes.
    std::string otherSource_, otherDestination_, otherSplitFilesFolder_;
    std::string commandLineFile_;
    bool proxyLinked_ = false;
    ReplaceExisting replaceExisting_ = ReplaceExisting::Ask;

    std::function<void()> pump_;
    std::function<void(const SplitterView&)> observer_;
    std::function<void(long)> checkpointHook_;
};

}  // namespace quarva::splitter
