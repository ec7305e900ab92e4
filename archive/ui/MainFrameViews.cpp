// The main window's tree and list: switching views, the selection, drags out and
// drops in, the clipboard.

#include "archive/ui/MainFrame.h"

#include <filesystem>

#include <wx/choicdlg.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/html/htmprint.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "archive/commands/DropPlan.h"
#include "archive/commands/StatusTexts.h"
#include "archive/core/CommandLineActions.h"
#include "archive/ui/InterfaceDropTarget.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/PathText.h"
#include "archive/ui/DesktopShell.h"
#include "archive/ui/DesktopTypes.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/ui/UiTrace.h"
#include "archive/ui/UsefulSplitterWnd.h"
#include "archive/ui/WxText.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

void CMainFrame::showInState(ShowState showState) {
    if (showState == ShowState::Maximized) Maximize();
    else if (showState == ShowState::Minimized) Iconize();
    Show();
}

void CMainFrame::switchToClassic(bool force) {
    if (classicView() && !force) return;
    session_.app.flatView = true;
    if (splitter_->IsSplit()) splitter_->Unsplit(tree_);
    splitter_->lock(true);
    savedStyle_ = list_->listStyle();
    if (savedStyle_ != ListStyle::Details) list_->setListStyle(ListStyle::Details);
    list_->showAll(session_.doc.entries().allEntries());
    refreshTotals();
    list_->SetFocus();
    trace("view: classic");
}

void CMainFrame::switchToExplorer() {
    if (!classicView()) return;
    list_->clear();
    splitter_->lock(false);
    session_.app.flatView = false;
    int width = GetClientSize().GetWidth();
    tree_->Show();
    if (!splitter_->IsSplit()) splitter_->SplitVertically(tree_, list_, std::max(10, width / 3));
    splitter_->SetSashPosition(std::max(10, width / 3));
    splitter_->UpdateSize();
    if (savedStyle_ != ListStyle::Details) list_->setListStyle(savedStyle_);
    showArchiveTree();
    refreshTotals();
    tree_->SetFocus();
    trace("view: explorer");
}

void CMainFrame::showFolder(const CZorvTreeNode* node) {
    if (classicView()) return;
    list_->showNode(node);
}

void CMainFrame::listChanged() {
    if (!trace_) return;
    std::string line = "list: " + std::to_string(list_->model().size()) + " rows:";
    for (std::size_t i = 0; i < list_->model().size() && i < 12; ++i) line += " " + list_->model().text(i, kColName);
    trace(line);
    writeSelectedCount();
}

void CMainFrame::listSorted() {
    trace("sorted: column " + std::to_string(list_->model().sortColumn()) +
          (list_->model().ascending() ? " ascending" : " descending"));
}

void CMainFrame::selectionChanged() { writeSelectedCount(); }

void CMainFrame::writeSelectedCount() {
    std::string text = selectedText(list_ ? list_->selectedCount() : 0);
    if (fromWx(GetStatusBar()->GetStatusText(2)) == text) return;
    GetStatusBar()->SetStatusText(toWx(text), 2);
    trace("pane 2: " + text);
}

void CMainFrame::activateRow(const FileListRow& row) {
    if (row.isFolder()) {
        tree_->selectNode(row.folder);
        return;
    }
    onView();
}

SelectionLists CMainFrame::selectionLists() const {
    std::vector<SelectedItem> selected;
    const CFileListModel& model = list_->model();
    for (std::size_t index : list_->selectedRows()) {
        const FileListRow& row = model.row(index);
        if (row.isFolder()) selected.push_back({true, row.folder->name, {}});
        else selected.push_back({false, row.file->name, row.file->folder});
    }
    return buildSelectionLists(selected, classicView() ? std::string() : tree_->currentFolderPath());
}

std::vector<std::string> CMainFrame::extractSelectionToTemp(OperationKind kind) {
    return extractToTemp(selectionLists(), kind);
}

std::string CMainFrame::tempCopyOf(const std::string& entry) const {
    std::string relative = entry;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return (fs::path(session_.progress.state.tempFolder) / relative).string();
}

std::vector<std::string> CMainFrame::extractToTemp(const SelectionLists& lists, OperationKind kind) {
    auto& state = session_.progress.state;
    ExtractOptions options;
    options.destination = state.tempFolder;
    // A copy being viewed may have been made read-only by its program.
    options.overwrite = kind == OperationKind::View ? 2 : 1;
    options.useStoredPaths = true;
    options.kind = kind;
    state.kind = kind;
    auto& wrapper = session_.doc.wrapper();
    std::vector<std::string> paths;
    if (!lists.files.empty() && wrapper.extractFiles(options, lists.files) == 0)
        for (const auto& file : lists.files) paths.push_back(tempCopyOf(file));
    if (!lists.folders.empty() && wrapper.extractByWildcard(options, lists.folders, "*") == 0)
        for (const auto& folder : lists.folders) paths.push_back(tempCopyOf(folder));
    // Only what is really there is handed on.
    std::error_code ec;
    std::erase_if(paths, [&ec](const std::string& p) { return !fs::exists(p, ec); });
    return paths;
}

void CMainFrame::dragOut() {
    trace("drag begins: " + std::to_string(list_->selectedCount()) + " selected");
    if (!session_.doc.open || list_->selectedCount() == 0) return;
    // The entries are extracted first, so the receiver finds real files.
    std::vector<std::string> paths = extractSelectionToTemp(OperationKind::DragOut);
    if (paths.empty()) return;
    wxFileDataObject data;
    for (const auto& p : paths) data.AddFile(toWx(p));
    wxDropSource source(data, list_);
    draggingOut_ = true;
    trace("drag out: " + std::to_string(paths.size()));
    wxDragResult result = source.DoDragDrop(wxDrag_CopyOnly);
    draggingOut_ = false;
    trace(std::string("drag ended: ") + (result == wxDragCopy ? "copied" : "refused"));
}

void CMainFrame::showListMenu(bool onItem, const wxPoint& where) {
    if (!session_.doc.open) return;
    wxMenu menu;
    auto add = [&menu](int id) {
        const CommandEntry* entry = findCommand(id);
        if (entry) menu.Append(id, toWx(entry->text), toWx(entry->prompt));
    };
    if (onItem) {
        std::vector<std::size_t> rows = list_->selectedRows();
        if (rows.size() == 1 && !list_->model().row(rows.front()).isFolder()) {
            // The file type's applications, numbered from 120; "&Open" without any.
            const CZipFileInfo* file = list_->model().row(rows.front()).file;
            // The same list serves the command (MainFrameEditing.cpp).
            int programs = 0;
            for (const DesktopApp& app : applicationsFor(extensionOf(file->name), 20))
                menu.Append(cmd::kViewerFirst + 1 + programs++, "Open with " + toWx(app.name));
            if (programs == 0) menu.Append(cmd::kOpenVerb, "&Open");
            if (wxGetKeyState(WXK_SHIFT)) menu.Append(cmd::kOpenWith, "Op&en With...");
            menu.AppendSeparator();
        }
        for (int id : {cmd::View, cmd::Extract, cmd::TestSelected, cmd::Delete, cmd::Copy}) add(id);
        menu.AppendSeparator();
        menu.Append(wxID_PROPERTIES, "P&roperties");
        menu.Bind(
            wxEVT_MENU, [this](wxCommandEvent&) { showEntryProperties(); }, wxID_PROPERTIES);
    } else {
        for (int id : {cmd::Add, cmd::Extract, cmd::Paste, cmd::SelectAll, cmd::InvertSelection, cmd::Refresh}) add(id);
    }
    list_->PopupMenu(&menu, where);
}

void CMainFrame::dropFiles(const std::vector<std::string>& paths) {
    trace("dropped: " + std::to_string(paths.size()));
    DropPlan plan = planDrop(paths, session_.app.archiveKind, [](const std::string& p) {
        std::error_code ec;
        return fs::is_directory(p, ec);
    });
    switch (plan.action) {
    case DropPlan::Action::Refuse: session_.prompts.message(kAddNotSupported, text::kCaption); return;
    case DropPlan::Action::OpenArchive:
        if (session_.openWithBusyDialog(plan.archive)) session_.app.addRecentFile(plan.archive);
        return;
    case DropPlan::Action::Add:
        if (!session_.doc.open) {
            // Without an open archive there is nothing to add to.
            session_.prompts.message(kAddNotSupported, text::kCaption);
            return;
        }
        startAddCommand(plan.folders, plan.files);
        return;
    }
}

void CMainFrame::onCopy() {
    std::vector<std::string> paths = extractSelectionToTemp(OperationKind::CopyToClipboard);
    if (paths.empty()) return;
    // As the file managers expect: a file list (text/uri-list), the GNOME form with
    // "copy", and the plain paths as text.
    auto* all = new wxDataObjectComposite;
    auto* files = new wxFileDataObject;
    std::string gnome = "copy";
    std::string plain;
    for (const auto& p : paths) {
        files->AddFile(toWx(p));
        gnome += "\n" + fileUri(p);
        plain += (plain.empty() ? "" : "\n") + p;
    }
    all->Add(files, true);
    auto* copied = new wxCustomDataObject(wxDataFormat("x-special/gnome-copied-files"));
    copied->SetData(gnome.size(), gnome.data());
    all->Add(copied);
    all->Add(new wxTextDataObject(toWx(plain)));
    if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(all);
        wxTheClipboard->Close();
        clipboardHasFiles_ = true;
    } else {
        delete all;
    }
    trace("copied: " + std::to_string(paths.size()));
}

void CMainFrame::onPaste() {
    std::vector<std::string> names;
    if (wxTheClipboard->Open()) {
        wxFileDataObject files;
        if (wxTheClipboard->IsSupported(wxDF_FILENAME) && wxTheClipboard->GetData(files))
            for (const wxString& name : files.GetFilenames()) names.emplace_back(name.utf8_str());
        wxTheClipboard->Close();
    }
    trace("pasted: " + std::to_string(names.size()));
    if (!names.empty()) startAddCommand({}, names);
}

}  // namespace quarva::archive::ui
