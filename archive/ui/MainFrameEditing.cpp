// Editing an archive's files in place: "&View", the file type's programs and
// "Op&en With..." open copies in the private temporary folder with programs of the
// desktop; the watcher reports each saved copy, and after a "Yes" to the re-add
// prompt the copy is added to the archive it came from.

#include "archive/ui/MainFrame.h"

#include <filesystem>
#include <optional>

#include <wx/event.h>

#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/PathText.h"
#include "archive/core/WorkingFolder.h"
#include "archive/ui/DesktopShell.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/OpenWithDlg.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/ui/WxText.h"
#include "archive/utilities/EditTexts.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

namespace {

// "FILECHANGE": one message per saved copy, carrying its path.
wxDEFINE_EVENT(EVT_FILECHANGE, wxThreadEvent);

// The file type's programs: at most this many, numbered from command 120.
constexpr std::size_t kMaxVerbs = 20;
constexpr int kFirstVerb = cmd::kViewerFirst + 1;

// Tries the prompts again once an operation that was running has ended.
class CRetryTimer : public wxTimer {
public:
    explicit CRetryTimer(std::function<void()> retry) : retry_(std::move(retry)) {}
    void Notify() override { retry_(); }

private:
    std::function<void()> retry_;
};

std::vector<DesktopApp> verbsFor(const std::string& copy) { return applicationsFor(extensionOf(copy), kMaxVerbs); }

}  // namespace

void CMainFrame::startEditWatch() {
    watcher_ = std::make_unique<CFileModified>();
    // The worker only queues; the prompt runs here, on the window's thread.
    watcher_->setNotifyWindow([this](const std::string& path) {
        auto* message = new wxThreadEvent(EVT_FILECHANGE);
        message->SetPayload(path);  // the bytes as they are, valid UTF-8 or not
        wxQueueEvent(this, message);
    });
    Bind(EVT_FILECHANGE, &CMainFrame::onFileChange, this);
    changeRetry_ = std::make_unique<CRetryTimer>([this] { promptForChanges(); });
    watcher_->start();
}

void CMainFrame::onView() {
    // A folder alone is opened in the tree.
    SelectionLists lists = selectionLists();
    if (lists.files.empty()) {
        for (std::size_t row : list_->selectedRows()) {
            const FileListRow& r = list_->model().row(row);
            if (r.isFolder()) {
                tree_->selectNode(r.folder);
                return;
            }
        }
        return;
    }
    openSelection(0, true);
}

void CMainFrame::onViewer(wxCommandEvent& event) {
    int id = event.GetId();
    if (id == cmd::kOpenWith) {
        std::vector<std::string> copies = extractForEditing();
        if (!copies.empty()) openWithChooser(copies);
        return;
    }
    openSelection(id - kFirstVerb, false);
}

std::vector<std::string> CMainFrame::extractForEditing() {
    SelectionLists lists = selectionLists();
    lists.folders.clear();
    if (lists.files.empty()) return {};
    // The copies are written again: their old watch would take the extraction for a save.
    for (const auto& entry : lists.files) watcher_->removeFile(tempCopyOf(entry));
    watcher_->stop();
    std::vector<std::string> copies = extractToTemp(lists, OperationKind::View);
    for (const auto& copy : copies) viewedFrom_[fs::path(copy).lexically_normal().string()] = session_.doc.archivePath;
    watcher_->start();
    return copies;
}

void CMainFrame::openSelection(int verb, bool association) {
    std::vector<std::string> copies = extractForEditing();
    for (const std::string& copy : copies) {
        std::vector<DesktopApp> verbs = verbsFor(copy);
        if (verbs.empty()) {
            openWithChooser({copy});
            continue;
        }
        // With several files every one opens with its first program.
        int index = copies.size() == 1 ? verb : 0;
        if (index < 0 || static_cast<std::size_t>(index) >= verbs.size()) continue;
        watchCopy(copy);
        bool started = (association && openWithDesktop(copy)) ||
                       launchApplication(verbs[static_cast<std::size_t>(index)].id, copy);
        if (!started) unwatchCopy(copy, edittext::kErrorInExecutable);
    }
}

void CMainFrame::openWithChooser(const std::vector<std::string>& copies) {
    std::vector<DesktopApp> all = allApplications();
    if (all.empty()) {
        session_.prompts.message(edittext::kNoOpenWith, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    for (const std::string& copy : copies) {
        COpenWithDlg dialog(this, fileNamePart(copy), verbsFor(copy), all);
        if (showDialog(dialog) != wxID_OK) continue;
        trace("open with: " + dialog.chosen().id);
        watchCopy(copy);
        if (!launchApplication(dialog.chosen().id, copy)) unwatchCopy(copy, edittext::kErrorInOpenWith);
    }
}

// Watched before its program starts: a program that saves at once is not missed.
void CMainFrame::watchCopy(const std::string& copy) {
    watcher_->addFile(copy);
    watcher_->start();
    trace("watching: " + copy);
    if (!watcher_->watchingAll())
        session_.prompts.message(edittext::notWatchedWarning(copy), text::kCaption, platform::Buttons::Ok,
                                 platform::Icon::Exclamation);
}

void CMainFrame::unwatchCopy(const std::string& copy, const char* failure) {
    watcher_->removeFile(copy);
    trace("not started: " + copy);
    session_.prompts.message(failure, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
}

void CMainFrame::onFileChange(wxThreadEvent& event) {
    auto path = event.GetPayload<std::string>();
    // A second save before the first was answered asks once: the latest file is added.
    if (std::find(changes_.begin(), changes_.end(), path) == changes_.end()) changes_.push_back(path);
    promptForChanges();
}

void CMainFrame::promptForChanges() {
    // One prompt at a time, and none while an operation runs (its progress lets
    // this message in): they wait for the next turn.
    if (promptingChanges_) return;
    if (session_.progress.state.busy) {
        changeRetry_->StartOnce(300);
        return;
    }
    promptingChanges_ = true;
    while (!changes_.empty()) {
        std::string path = changes_.front();
        changes_.pop_front();
        auto from = viewedFrom_.find(path);
        // A copy of an archive that is no longer the open one is not offered.
        if (from == viewedFrom_.end() || !session_.doc.open || from->second != session_.doc.archivePath) {
            trace("change ignored: " + path);
            continue;
        }
        if (session_.prompts.message(edittext::modifiedPrompt(path), text::kCaption, platform::Buttons::YesNo,
                                     platform::Icon::Question) != platform::Answer::Yes)
            continue;
        addChangedCopy(path);
    }
    promptingChanges_ = false;
}

void CMainFrame::addChangedCopy(const std::string& path) {
    auto& state = session_.progress.state;
    state.touchedNames.clear();
    state.kind = OperationKind::Add;
    AddOptions options;  // add and replace, level 5, no hidden files
    options.includeSubfolders = false;
    options.savePathInfo = false;
    std::uint16_t status = 0;
    // A copy of an entry inside a folder of the archive goes back into that folder:
    // it is added by its path below the temporary folder, from there.
    fs::path temp = fs::path(state.tempFolder).lexically_normal();
    if (!temp.has_filename()) temp = temp.parent_path();
    fs::path relative = fs::path(path).lexically_relative(temp);
    bool nested = relative.has_parent_path() && *relative.begin() != "..";
    std::optional<WorkingFolder> inTemp;
    if (nested) inTemp.emplace(temp);
    if (inTemp && inTemp->entered()) {
        options.savePathInfo = true;
        status = session_.doc.wrapper().addFiles(options, {relative.string()});
    } else {
        status = session_.doc.wrapper().addFiles(options, {path});
    }
    inTemp.reset();
    trace("re-added: " + std::to_string(status));
    if (status == OutcomeCode::UserAborted) return;
    refreshAfterChange();
    watcher_->start();
}

}  // namespace quarva::archive::ui
