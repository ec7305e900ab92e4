// The main frame's commands that open a dialog: add, extract, delete, test,
// password, comments, the text window, convert, encode, self-extractor, fix, and
// the commands on the archive file itself.

#include <filesystem>

#include <sys/stat.h>

#include <wx/filedlg.h>
#include <wx/progdlg.h>

#include "archive/commands/DialogModels.h"
#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/CommandLineActions.h"
#include "archive/core/CoreTexts.h"
#include "archive/core/OutcomeCode.h"
#include "archive/core/PathText.h"
#include "archive/ui/AddFilesDlg.h"
#include "archive/ui/DeleteDlg.h"
#include "archive/ui/EncodeDlg.h"
#include "archive/ui/FilePropertiesDlg.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/MainFrame.h"
#include "archive/ui/NewDiskDlg.h"
#include "archive/ui/PasswdDlg.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/ui/RenameArchiveDlg.h"
#include "archive/ui/SaveAsDlg.h"
#include "archive/ui/SelectFolderDialog.h"
#include "archive/ui/ShellFileOps.h"
#include "archive/ui/FileSelectDialog.h"
#include "archive/ui/WxText.h"
#include "archive/ui/ZipEditor.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

namespace {

constexpr char kProgressTitle[] = "Quarva Zip";
constexpr char kMoveToTrash[] = "Are you sure you want to move \"%s\" to the Trash?";
constexpr char kReplaceExisting[] = "A file named \"%s\" already exists.\nDo you want to replace it?";

std::string withName(const char* pattern, const std::string& value) {
    std::string out = pattern;
    out.replace(out.find("%s"), 2, value);
    return out;
}

bool isLibraryArchive(CArchiveSession& session) { return session.archiveKind() != ArchiveKind::Zip; }

std::string folderWithSlash(const std::string& folder) {
    return folder.empty() || folder.ends_with('/') ? folder : folder + "/";
}

}  // namespace

int CMainFrame::showDialog(wxDialog& dialog, std::string title) {
    // GTK's own file dialog leaves its title out of reach, so callers may name it.
    if (title.empty()) title = fromWx(dialog.GetTitle());
    dialog.Bind(wxEVT_INIT_DIALOG, [this, title](wxInitDialogEvent& event) {
        event.Skip();
        CallAfter([this, title] { trace("dialog: " + title); });
    });
    return dialog.ShowModal();
}

void CMainFrame::showText(const std::string& text, const std::string& title) {
    CZipEditor editor(this, text, title, false, false);
    showDialog(editor);
}

void CMainFrame::showActivityLog() { showText(withSlashes(session_.app.activityLog), dlgtext::kLastLog); }

void CMainFrame::refreshAfterChange() {
    session_.refresh();
    if (!classicView()) tree_->refreshSelection();
    refreshTotals();
}

SelectionLists CMainFrame::listSelection() const {
    std::vector<SelectedItem> items;
    for (std::size_t row : list_->selectedRows()) {
        const FileListRow& r = list_->model().row(row);
        if (r.isFolder()) items.push_back({true, r.folder->name, {}});
        else if (r.file) items.push_back({false, r.file->name, r.file->inFolder ? r.file->folder : std::string()});
    }
    return buildSelectionLists(items, classicView() ? std::string() : tree_->currentFolderPath());
}

// --- adding ---

void CMainFrame::askAddPassword() {
    IEngineControl* engine = session_.doc.wrapper().engine();
    CPasswdDlg dialog(this, session_.prompts);
    dialog.set(engine ? engine->stringProperty(dispid::kPassword) : std::string(), true);
    if (showDialog(dialog) == wxID_OK && engine) engine->setProperty(dispid::kPassword, dialog.password());
}

void CMainFrame::onPassword() { askAddPassword(); }

void CMainFrame::startAddCommand(const std::vector<std::string>& folders, const std::vector<std::string>& files) {
    if (folders.empty() && files.empty()) {
        runAddDialog();
        return;
    }
    // Pasted names come as one list: the folders among them go in with the mask "*".
    std::vector<std::string> folderList = folders, fileList;
    for (const auto& name : files) {
        std::error_code ec;
        (fs::is_directory(name, ec) ? folderList : fileList).push_back(name);
    }
    runAddFromLists(folderList, fileList);
}

namespace {

int engineDiskCount(CArchiveSession& session) {
    IEngineControl* engine = session.doc.wrapper().engine();
    if (!engine) return 0;
    EngineValue value = engine->getProperty(dispid::kDiskCount);
    if (auto* count = std::get_if<std::int16_t>(&value)) return *count;
    if (auto* count = std::get_if<std::int32_t>(&value)) return *count;
    return 0;
}

AddOptions addOptionsFrom(const AddDialogOptions& chosen, bool removable) {
    AddOptions o;
    o.action = static_cast<std::int16_t>(chosen.action);
    o.level = compressionLevel(chosen.compression);
    o.includeHidden = chosen.includeHidden;
    o.deleteAfterZipping = chosen.deleteAfterZipping;
    o.includeSubfolders = chosen.includeSubfolders;
    o.savePathInfo = chosen.savePathInfo;
    SpanningFlags spanning = spanningFlags(removable, chosen.spanning);
    o.spanning = spanning.spanning;
    o.wipeDisk = spanning.wipeDisk;
    return o;
}

}  // namespace

void CMainFrame::runAddDialog() {
    auto& state = session_.progress.state;
    state.touchedNames.clear();
    auto& config = session_.app.configuration;
    bool library = isLibraryArchive(session_);
    // Without an add folder the chooser starts beside the archive.
    std::string start = !config.addFolder.empty() ? config.addFolder : folderPart(session_.doc.archivePath);
    CSpecialFileDialog dialog(this, session_.prompts, start, library,
                              spanningList(session_.flags.removable, engineDiskCount(session_), true),
                              [this] { askAddPassword(); });
    if (showDialog(dialog) != wxID_OK) return;

    if (!dialog.paths().empty()) config.addFolder = folderPart(dialog.paths().front());
    else config.addFolder = dialog.currentFolder();
    AddOptions options = addOptionsFrom(dialog.options(), session_.flags.removable);
    state.kind = OperationKind::Add;
    std::uint16_t status = 0;
    if (dialog.wildcardMode())
        status = session_.doc.wrapper().addFolders(options, {folderWithSlash(dialog.currentFolder())},
                                                   wildcardMask(dialog.wildcardText(), library));
    else status = session_.doc.wrapper().addFiles(options, dialog.paths());
    trace("add finished: " + std::to_string(status));
    // Also after a cancel: files reported as added before it are not in the archive.
    refreshAfterChange();
}

void CMainFrame::runAddFromLists(const std::vector<std::string>& folders, const std::vector<std::string>& files) {
    session_.progress.state.touchedNames.clear();
    AddListsDescription described = describeAddLists(folders, files);
    bool open = session_.doc.open && !session_.doc.archivePath.empty();
    CAddFilesDlg dialog(
        this, session_.prompts, spanningList(session_.flags.removable, engineDiskCount(session_), false),
        [this] { askAddPassword(); },
        [](const std::string& name) {
            return !name.empty() && platform::driveType(name) == platform::DriveType::Removable;
        });
    dialog.set(described.description, open ? session_.doc.archivePath : described.sourceFolder, open);
    if (showDialog(dialog) != wxID_OK) return;

    if (!open) {
        std::string name = dialog.archiveName();
        std::error_code ec;
        bool ready = fs::exists(name, ec) ? session_.openWithBusyDialog(name)
                                          : session_.doc.createArchive(name, fileNamePart(name));
        if (!ready) return;
    }
    AddDialogOptions chosen = dialog.options();
    chosen.deleteAfterZipping = false;
    chosen.includeSubfolders = true;
    AddOptions options = addOptionsFrom(chosen, session_.flags.removable);
    session_.progress.state.kind = OperationKind::Add;
    std::uint16_t status = session_.doc.wrapper().addFiles(options, files);
    if (status != OutcomeCode::UserAborted && !folders.empty())
        status = session_.doc.wrapper().addFolders(options, folders, "*");
    trace("add finished: " + std::to_string(status));
    // Also after a cancel: files reported as added before it are not in the archive.
    refreshAfterChange();
}

// --- extracting, testing, deleting ---

void CMainFrame::startExtractCommand() {
    auto& config = session_.app.configuration;
    std::string start =
        !session_.app.extractionFolder.empty() ? session_.app.extractionFolder.string() : config.extractionFolder;
    CSelectFolderDialog dialog(this, session_.prompts, true, start, dlgtext::kExtractTo);
    if (list_->selectedCount() == 0) dialog.setSelectedAllowed(false);
    if (showDialog(dialog) != wxID_OK) return;
    std::string folder = dialog.folder();
    if (config.folderBits & folderbits::kExtractDestinationIsExtractFolder) config.extractionFolder = folder;

    session_.progress.state.kind = OperationKind::Extract;
    SelectionLists selection = listSelection();
    ExtractLists lists = extractListsFor(dialog.options(), {selection.files, selection.folders});
    std::error_code ec;
    fs::create_directories(folder, ec);
    ExtractOptions options;
    options.destination = folder;
    options.overwrite = dialog.options().overwrite ? 1 : 0;
    options.useStoredPaths = dialog.options().useFolderNames;
    std::string log;
    if (!lists.files.empty()) {
        session_.doc.wrapper().extractFiles(options, lists.files);
        log = session_.app.activityLog;
    }
    if (!lists.folders.empty()) {
        session_.doc.wrapper().extractByWildcard(options, lists.folders, "*");
        log += session_.app.activityLog;
    }
    session_.app.activityLog = log;
    trace("extract finished: " + folder);
}

void CMainFrame::onTestSelected() {
    SelectionLists lists = listSelection();
    if (lists.files.empty() && lists.folders.empty()) lists.files = {"*"};
    session_.progress.state.kind = OperationKind::Test;
    std::string log;
    if (!lists.files.empty()) {
        session_.doc.wrapper().testFiles(lists.files);
        log = session_.app.activityLog;
    }
    if (!lists.folders.empty()) {
        session_.doc.wrapper().testByWildcard(lists.folders, "*");
        log += session_.app.activityLog;
    }
    showText(log, dlgtext::kTestResults);
}

void CMainFrame::onDelete() {
    CDeleteDlg dialog(this, session_.prompts);
    if (showDialog(dialog) != wxID_OK) return;
    const DeleteDialogOptions& chosen = dialog.options();
    if (chosen.choice == 0) {
        onDeleteArchive();
        return;
    }
    session_.progress.state.touchedNames.clear();
    session_.progress.state.kind = OperationKind::Delete;
    std::uint16_t status = 0;
    if (chosen.choice == 1) {
        SelectionLists lists = listSelection();
        if (lists.files.empty() && lists.folders.empty()) return;
        status = session_.doc.wrapper().deleteFiles(lists.files);
        if (status != OutcomeCode::UserAborted) status = session_.doc.wrapper().deleteByWildcard(lists.folders, "*");
    } else {
        // The filter at every depth of the archive.
        status = session_.doc.wrapper().deleteFiles({chosen.filter, "*\\" + chosen.filter});
    }
    trace("delete finished: " + std::to_string(status));
    refreshAfterChange();
}

// --- the text window ---

void CMainFrame::onComment() {
    IEngineControl* engine = session_.doc.wrapper().engine();
    if (!engine) return;
    engine->setProperty(dispid::kArchiveName, session_.doc.archivePath);
    CZipEditor editor(this, engine->stringProperty(dispid::kComment), dlgtext::kComments, true, true);
    if (showDialog(editor) != wxID_OK) return;
    engine->setProperty(dispid::kComment, commentToSave(editor.text()));
}

// --- converting, encoding, self-extractors ---

void CMainFrame::runConversion(const std::string& source, const std::string& target,
                               const std::function<int(platform::WindowHandle)>& call) {
    auto& state = session_.progress.state;
    int status = 0;
    {
        auto busy = session_.busy(text::kConverting);
        if (IBusyDialog* dialog = busy->dialog()) dialog->hideCancel();
        state.errorSeen = false;
        CLibraryMessages window(session_.progress);
        status = call(window.window());
    }
    if (status == OutcomeCode::LibraryNotLoaded) {
        session_.prompts.message(text::kDllNotLoaded, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    if (status == OutcomeCode::LibraryNoEntryPoint) {
        session_.prompts.message(text::kProcNotFound, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    if (state.errorSeen) session_.outcome.offerLog(dlgtext::kErrorWhileSaving);
    else session_.prompts.message(convertedText(source, target), text::kCaption);
}

void CMainFrame::onSaveAs() {
    std::string source = session_.doc.archivePath;
    if (source.empty()) return;
    CSaveAsDlg dialog(this, session_.prompts, source);
    if (showDialog(dialog) != wxID_OK) return;
    int code = saveAsTypes()[static_cast<std::size_t>(dialog.typeIndex())].formatCode;
    std::string target = dialog.target();
    runConversion(source, target, [&](platform::WindowHandle window) {
        return session_.doc.wrapper().library().arcToArc(source, target, code, window);
    });
}

void CMainFrame::onEncodeArchive() {
    std::string source = session_.doc.archivePath;
    if (source.empty()) return;
    CEncodeDlg dialog(this, session_.prompts, source);
    if (showDialog(dialog) != wxID_OK) return;
    std::string target = dialog.target();
    runConversion(source, target, [&](platform::WindowHandle window) {
        return session_.doc.wrapper().library().encode(source, target, dialog.method(), dialog.writeTable(), window);
    });
}

void CMainFrame::onMakeExe() {
    if (!session_.doc.archivePath.empty())
        actions::makeSelfExtractor(session_, session_.doc.archivePath, platform::Icon::Information);
}

// --- fixing ---

void CMainFrame::onFixZip() {
    auto& prompts = session_.prompts;
    prompts.message(dlgtext::kFixCaution, text::kCaption, platform::Buttons::Ok, platform::Icon::Exclamation);
    wxFileDialog chooser(this, dlgtext::kFixTitle, toWx(session_.app.configuration.startupFolder), wxEmptyString,
                         dlgtext::kFixFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (showDialog(chooser, dlgtext::kFixTitle) != wxID_OK) return;
    std::string path = fromWx(chooser.GetPath());
    std::error_code ec;
    if (fs::file_size(path, ec) == 0 || ec) {
        prompts.message(dlgtext::kZeroByteFile, text::kCaption);
        return;
    }
    std::string backup = backupName(path);
    prompts.message(dlgtext::kBackupNotice + backup, text::kCaption);
    if (transferFile(false, path, backup)) prompts.message(dlgtext::kBackedUp, text::kCaption);

    IEngineControl* engine = session_.doc.wrapper().engine();
    if (!engine) return;
    auto repair = [&](std::int16_t mode) {
        session_.progress.state.errorSeen = false;
        session_.progress.state.touchedNames.clear();
        auto busy = session_.busy();
        engine->setProperty(dispid::kArchiveName, path);
        std::int16_t result = engine->invoke(dispid::kRepair, mode);
        engine->setProperty(dispid::kArchiveName, session_.doc.archivePath);
        return result;
    };
    if (repair(0) == 0) return;
    if (prompts.message(dlgtext::kModerateFailed, text::kCaption, platform::Buttons::YesNo,
                        platform::Icon::Information) != platform::Answer::Yes)
        return;
    // The aggressive attempt may have to write a read-only archive.
    ::chmod(path.c_str(), 0644);
    if (repair(1) != 0) {
        prompts.message(dlgtext::kCouldNotFix, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    if (prompts.message(dlgtext::kFixedOpen, text::kCaption, platform::Buttons::YesNo, platform::Icon::Information) ==
        platform::Answer::Yes)
        session_.doc.openArchive(path, fileNamePart(path));
}

// --- the archive file itself ---

std::string CMainFrame::chooseFolder(const std::string& title) {
    auto& config = session_.app.configuration;
    CSelectFolderDialog dialog(this, session_.prompts, false, config.startupFolder, title);
    if (showDialog(dialog) != wxID_OK) return {};
    if (config.folderBits & folderbits::kRememberStartupFolder) config.startupFolder = dialog.folder();
    return dialog.folder();
}

bool CMainFrame::transferFile(bool move, const std::string& source, const std::string& target) {
    wxProgressDialog progress(kProgressTitle, toWx(fileNamePart(source)), 100, this, wxPD_APP_MODAL | wxPD_AUTO_HIDE);
    ShellProgress onProgress = [&](std::uint64_t done, std::uint64_t total) {
        progress.Update(total ? static_cast<int>(done * 100 / total) : 0);
    };
    auto run = [&](bool overwrite) {
        return move ? moveFile(source, target, overwrite, onProgress) : copyFile(source, target, overwrite, onProgress);
    };
    // The desktop creates missing folders without asking.
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    ShellResult result = run(false);
    if (result.status == ShellResult::Status::Exists) {
        if (session_.prompts.message(withName(kReplaceExisting, fileNamePart(target)), kProgressTitle,
                                     platform::Buttons::YesNo, platform::Icon::Exclamation, 1) != platform::Answer::Yes)
            return false;
        result = run(true);
    }
    if (!result.ok())
        session_.prompts.message(result.error, kProgressTitle, platform::Buttons::Ok, platform::Icon::Stop);
    trace(std::string(move ? "move" : "copy") + (result.ok() ? " done: " : " failed: ") + target);
    return result.ok();
}

void CMainFrame::onCopyArchive() {
    if (session_.doc.archivePath.empty()) return;
    std::string folder = chooseFolder(dlgtext::kCopyTo);
    if (!folder.empty()) transferFile(false, session_.doc.archivePath, folder + fileNamePart(session_.doc.archivePath));
}

void CMainFrame::onMoveArchive() {
    std::string path = session_.doc.archivePath;
    if (path.empty()) return;
    std::string folder = chooseFolder(dlgtext::kMoveTo);
    if (folder.empty() || !transferFile(true, path, folder + fileNamePart(path))) return;
    session_.openWithBusyDialog(folder + fileNamePart(path));
}

void CMainFrame::onRenameArchive() {
    std::string path = session_.doc.archivePath;
    if (path.empty()) return;
    std::string folder = folderWithSlash(folderPart(path));
    CRenameArchiveDlg dialog(this, session_.prompts, fileNamePart(path));
    if (showDialog(dialog) != wxID_OK) return;
    ShellResult result = renameFile(path, dialog.newName());
    if (!result.ok()) {
        session_.prompts.message(result.error, kProgressTitle, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    trace("renamed: " + folder + dialog.newName());
    session_.openWithBusyDialog(folder + dialog.newName());
}

void CMainFrame::onDeleteArchive() {
    std::string path = session_.doc.archivePath;
    if (path.empty()) return;
    if (session_.prompts.message(withName(kMoveToTrash, fileNamePart(path)), text::kCaption, platform::Buttons::YesNo,
                                 platform::Icon::Question) != platform::Answer::Yes)
        return;
    ShellResult result = trashFile(path);
    if (!result.ok()) {
        session_.prompts.message(result.error, kProgressTitle, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        trace("trashed: " + path);
        onCloseArchive();
    }
}

// --- entry properties ---

namespace {

// Every file below `node` and the number of folders below it, without recursion
// (a hostile archive may nest very deep).
SelectedFolder walkFolder(const CZorvTreeNode& node) {
    SelectedFolder out;
    std::vector<const CZorvTreeNode*> pending{&node};
    while (!pending.empty()) {
        const CZorvTreeNode* current = pending.back();
        pending.pop_back();
        for (const CZipFileInfo* file : current->files) out.files.push_back(file);
        for (const auto& child : current->children) {
            ++out.subfolders;
            pending.push_back(child.get());
        }
    }
    return out;
}

}  // namespace

void CMainFrame::showEntryProperties() {
    std::vector<const CZipFileInfo*> files;
    std::vector<SelectedFolder> folders;
    for (std::size_t row : list_->selectedRows()) {
        const FileListRow& r = list_->model().row(row);
        if (r.isFolder()) folders.push_back(walkFolder(*r.folder));
        else if (r.file) files.push_back(r.file);
    }
    if (files.empty() && folders.empty()) return;
    CFilePropertiesDlg dialog(this, propertiesView(files, folders));
    showDialog(dialog);
}

// --- disk spanning ---

std::optional<bool> CMainFrame::askNewDisk(int disk) {
    CNewDiskDlg dialog(this, disk);
    if (showDialog(dialog) != wxID_OK) return std::nullopt;
    return dialog.erase();
}

}  // namespace quarva::archive::ui
