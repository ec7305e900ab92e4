#pragma once
// The splitter window's logic without a window: what the window shows (`SplitterView`),
// the choices the user makes, the operation state of a running split or rejoin, and the
// two engines that run on a worker thread. The wx window shows `view()` and forwards its
// events to the On... members; the headless front end and the tests drive the same
// members directly.
//
// Threads: the window thread calls the On... members. `OnAction` starts the worker and
// keeps calling the pump (the window's event loop) until the worker signals that it
// has ended. The worker shows its own questions through Prompts and updates the view
// under a lock; the observer is told after every change, from either thread.
// Pause and cancel are cooperative: "&Cancel" asks the user while the worker holds at
// its next checkpoint (between passes), and a cancelled worker cleans up itself.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Event.h"
#include "platform/FileSystem.h"
#include "platform/Prompts.h"
#include "splitter/RawFile.h"
#include "splitter/SplitSet.h"
#include "splitter/SplitSettings.h"

namespace quarva::splitter {

enum class SizeChoice { Floppy, TenMb, HundredMb, Bytes, KiloBytes, MegaBytes, Files };

// What a rejoin does when a file of the output's name exists: the window asks; the
// headless front end replaces it only when told to (--overwrite) and refuses otherwise.
enum class ReplaceExisting { Ask, Replace, Refuse };

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

// The state of one split or rejoin; the worker owns it while it runs.
struct OperationState {
    bool split = true;
    std::string sourcePath, destFolder, sourceName;
    std::uint32_t fileSize = 0;
    std::uint32_t chunkSize = kFloppyChunkSize;
    bool customSize = false;
    std::uint32_t multiplier = 1;
    std::uint32_t chunkCount = 0;
    std::atomic<long> currentChunk{0};
    platform::DriveType destDriveType = platform::DriveType::Fixed;
    bool mediaError = false;
    std::uint64_t freeBytes = 0;
    // The open flags are the files' own isOpen().
    RawFile infoFile;
    RawFile dataFile;    // the source (split)
    platform::AtomicFile output;  // the rejoined file, beside its final name until it is complete
    RawFile splitChunk;  // chunk being written
    RawFile rejoinChunk; // chunk being read
    // Rejoin.
    std::uint32_t storedCount = 0, storedSize = 0;
    std::string storedName, splitFilesFolder, chunkBasePath, outputPath;
    std::uint64_t totalWritten = 0;
    bool infoCreated = false;    // this run created the information file (split)
    // The information file and the chunk being written, on the process's interrupt list
    // while the set is incomplete (a second Ctrl-C ends the program at once).
    int infoSlot = -1, chunkSlot = -1;
    int retryStage = 0;
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
    void SetCommandLineFile(std::string path) { commandLineFile_ = std::move(path); }

    // User actions.
    void SetMode(bool split);
    void ChooseSize(SizeChoice choice);
    void SetCustomSizeText(std::string text);
    void OnSelectFile();          // "Select a fi&le": file chooser
    void OnFileChosen(const std::string& path, const std::string& folderEndedIn);
    void OnDestinationFolder();   // "&Destination folder": folder chooser
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

    // Automation members, by dispatch id 1 to 4.
    bool Run();
    void SourceFile(const std::string& path);
    void Destination(const std::string& folder);
    void Size(const std::string& unit, std::int32_t value);
    void LinkAutomationProxy(bool linked);

    // Used by the engines and the window.
    void EnableControls(bool enable);
    void RefreshStatusBar(const std::string& text, int part);
    void EndOperation();

    SplitterView view() const;
    bool busy() const { return running_; }
    const CSplitSettings& settings() const { return settings_; }
    CSplitSettings& settings() { return settings_; }
    // Chunk size and choice survive runs; read them while idle.
    std::uint32_t chunkSize() const { return op_.chunkSize; }
    std::uint32_t chunkCount() const { return op_.chunkCount; }
    bool customSize() const { return op_.customSize; }
    std::uint32_t multiplier() const { return op_.multiplier; }
    std::string splitFilesFolder() const;

    // The window's event loop, run by OnAction while the worker works.
    void setPump(std::function<void()> pump) { pump_ = std::move(pump); }
    // Told after every change of the view, from either thread.
    void setObserver(std::function<void(const SplitterView&)> observer) { observer_ = std::move(observer); }
    // Called by the worker at each checkpoint, before it looks for a pause (tests).
    void setCheckpointHook(std::function<void(long chunk)> hook) { checkpointHook_ = std::move(hook); }
    void setReplaceExisting(ReplaceExisting policy) { replaceExisting_ = policy; }

private:
    // Worker.
    int RunOperation();
    int SplitFile();
    int RejoinFile();
    enum class Step { Ok, Failed, Cancelled, DiskChange };
    Step WriteSplitBlock(const std::uint8_t* data, std::size_t size, const std::string& chunkPath);
    Step ReadChunkInto(std::vector<std::uint8_t>& buffer, const std::string& chunkPath);
    int EndSplitRun(bool removeOutput, bool hideProgress);
    int EndRejoinRun(bool hideProgress);
    void RemoveSplitOutput();
    void ForgetSplitTemporaries();
    bool ReadSplitInfo(std::string* problem);
    bool MayWriteOutput();
    bool Checkpoint();  // true when the user cancelled
    void BeginBusy();
    void SetProgress(int pos, const std::string& label);
    // After an interrupt every question is answered "Cancel" (or "No") without asking.
    platform::Answer Message(const std::string& text, const std::string& caption = {},
                             platform::Buttons buttons = platform::Buttons::Ok,
                             platform::Icon icon = platform::Icon::None, int defaultButton = 0);

    // Removable media (worker).
    bool GetFreeSpace(const std::string& path);
    void ReportWindowsError(int code);
    bool AskRetryOnDrive();

    // Window helpers.
    void Update(const std::function<void(SplitterView&)>& change);
    void ShowSizeLabel();
    void OpenRejoinPath(const std::string& path);  // steps 2 and 3 of the open-file routine
    void CloseSettingsPane();
    void JoinWorker();

    platform::Prompts& prompts_;
    std::string fallbackInstalledPath_;
    CSplitSettings settings_;
    CSettingsPane pane_;
    OperationState op_;

    mutable std::mutex viewMutex_;
    SplitterView view_;
    std::string splitFilesFolder_;
    // The other mode's choices, swapped in when the mode changes.
    std::string otherSource_, otherDestination_, otherSplitFilesFolder_;
    std::string commandLineFile_;
    bool proxyLinked_ = false;
    ReplaceExisting replaceExisting_ = ReplaceExisting::Ask;

    std::thread worker_;
    std::unique_ptr<platform::Event> completion_;
    std::atomic<bool> running_{false};
    std::mutex controlMutex_;
    std::condition_variable controlChanged_;
    bool pauseRequested_ = false;
    bool cancelRequested_ = false;

    std::function<void()> pump_;
    std::function<void(const SplitterView&)> observer_;
    std::function<void(long)> checkpointHook_;
};

}  // namespace quarva::splitter
