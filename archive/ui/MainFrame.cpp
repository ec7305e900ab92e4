#include "archive/ui/MainFrame.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <wx/aboutdlg.h>
#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/clipbrd.h>
#include <wx/combobox.h>
#include <wx/dataobj.h>
#include <wx/choicdlg.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/html/htmprint.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "archive/commands/DropPlan.h"
#include "archive/commands/StatusTexts.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/CommandLineActions.h"
#include "archive/core/PathText.h"
#include "archive/ui/DesktopShell.h"
#include "archive/ui/DesktopTypes.h"
#include "archive/ui/InterfaceDropTarget.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/ui/TipDlg.h"
#include "archive/ui/UiTrace.h"
#include "archive/ui/UsefulSplitterWnd.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

namespace {

constexpr int kFilterBoxId = 113;
constexpr int kFilterLabelId = 116;
constexpr char kNotAvailable[] = "\"%s\" is not available in this version of Quarva.Zip Suite.";
constexpr char kOpenFilter[] =
    "All archive files|*.zip;*.cab;*.jar;*.bh;*.lzh;*.lha;*.tar;*.ace;*.arc;*.arj;*.gz;*.rar;*.uue;*.xxe;*.exe|Zip "
    "Files (*.zip)|*.zip|Cab Files (*.cab)|*.cab|Jar Files (*.jar)|*.jar|BlakHole Files (*.bh)|*.bh|Lhz Files "
    "(*.lzh)|*.lzh|Lha Files (*.lha)|*.lha|Tar Files (*.tar)|*.tar|Ace Files (*.ace)|*.ace|Arc Files "
    "(*.arc)|*.arc|Arj Files (*.arj)|*.arj|GZip Files (*.gz)|*.gz|Rar Files (*.rar)|*.rar|Encoded Archives "
    "(*.uue)|*.uue|Encoded Archives (*.xxe)|*.xxe|Self Extracting Executables (*.exe)|*.exe|All Files (*.*)|*.*";
constexpr char kNewFilter[] =
    "Zip Files (*.zip)|*.zip|Cab Files (*.cab)|*.cab|Jar Files (*.jar)|*.jar|BlakHole Files (*.bh)|*.bh|LHA Files "
    "(*.lha)|*.lha|Tar Files (*.tar)|*.tar|GZip Files (*.gz)|*.gz|Lzh Files (*.lzh)|*.lzh|All Files (*.*)|*.*";
constexpr char kCannotOpenCreate[] = "Cannot Open %s - File has been moved or deleted\nCreate New ?";
constexpr char kCannotCreateOpen[] = "Cannot Create %s - File already exists\n Open existing File ? ";
constexpr char kNotSelfExtracting[] = "Not a self extracting executable/damaged archive.\nAborting";
constexpr char kComponentsMissing[] = "One or more of the components not found";
constexpr char kProductPage[] = "https://www.quarva.software/zip";
constexpr char kWebSite[] = "https://www.quarva.software/";
constexpr char kPromptsOnly[] = "";

wxString wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string utf8(const wxString& text) { return std::string(text.utf8_str()); }

std::string formatted(const char* pattern, const std::string& value) {
    std::string out = pattern;
    auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

// The main toolbar: command, label, icon name in the desktop's theme, fallback.
struct ToolButton {
    int id;
    const char* label;
    const char* icon;
    const char* fallback;
};
const ToolButton kMainButtons[] = {
    {cmd::NewArchive, "New", "document-new", wxART_NEW},
    {cmd::OpenArchive, "Open", "document-open", wxART_FILE_OPEN},
    {cmd::Add, "Add", "list-add", wxART_PLUS},
    {cmd::Extract, "Extract", "document-save", wxART_FILE_SAVE},
    {cmd::View, "View", "edit-find", wxART_FIND},
    {cmd::Delete, "Delete", "edit-delete", wxART_DELETE},
    {cmd::WebSite, "Web Site", "web-browser", wxART_GO_HOME},
    {cmd::MailArchive, "E-Mail", "mail-send", wxART_REPORT_VIEW},
    {cmd::MakeExe, "Make .EXE", "application-x-executable", wxART_EXECUTABLE_FILE},
    {cmd::Install, "Install", "system-software-install", wxART_HARDDISK},
    {cmd::HideInTray, "Tray", "go-bottom", wxART_GO_DOWN},
};
const ToolButton kSecondButtons[] = {
    {cmd::Copy, "Copy", "edit-copy", wxART_COPY},
    {cmd::Paste, "Paste", "edit-paste", wxART_PASTE},
    {cmd::kToggleViewButton, "Toggle View", "view-refresh", wxART_REDO},
    {cmd::LargeIcons, "Large Icons", "view-grid-symbolic", wxART_LIST_VIEW},
    {cmd::SmallIcons, "Small Icons", "view-app-grid-symbolic", wxART_LIST_VIEW},
    {cmd::ListStyle, "List", "view-list-symbolic", wxART_LIST_VIEW},
    {cmd::Details, "Details", "view-list-bullet-symbolic", wxART_REPORT_VIEW},
    {cmd::UpOneLevel, "Up one level", "go-up", wxART_GO_DIR_UP},
    {cmd::Help, "Help", "help-browser", wxART_HELP},
};

}  // namespace

CMainFrame::CMainFrame(CArchiveSession& session, const WindowPlacement& placement)
    : wxFrame(nullptr, wxID_ANY, text::kCaption, wxPoint(placement.x, placement.y),
              wxSize(placement.width, placement.height)),
      session_(session),
      trace_(CUiTrace::fromEnvironment()),
      clipboardTimer_(this) {
    buildMenus();
    buildToolbars();

    splitter_ = new CUsefulSplitterWnd(this);
    list_ = new CQuarvaZipView(splitter_, *this, session_.app.configuration.viewBits);
    tree_ = new CLeftView(splitter_, *this, list_->icons().small(), list_->icons().folderImage());
    splitter_->SplitVertically(tree_, list_, 200);
    list_->SetDropTarget(new CInterfaceDropTarget(*this));

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(mainBar_, 0, wxEXPAND);
    sizer->Add(secondBar_, 0, wxEXPAND);
    sizer->Add(splitter_, 1, wxEXPAND);
    SetSizer(sizer);

    CreateStatusBar(4);
    // Pane 0 the prompts and phases (the rest of the width), pane 1 the totals
    // (widened), pane 2 the selection count, pane 3 narrowed.
    int widths[] = {-1, 170, 150, 30};
    GetStatusBar()->SetStatusWidths(4, widths);
    SetStatusBarPane(0);

    // Ctrl+Tab toggles the view, Ctrl+L focuses the list; GTK menus cannot show
    // Ctrl+Tab, so these keys live in the frame's accelerator table.
    wxAcceleratorEntry keys[] = {{wxACCEL_CTRL, WXK_TAB, cmd::kToggleViewKey},
                                 {wxACCEL_CTRL, 'L', cmd::toWindowId(cmd::kFocusList)}};
    SetAcceleratorTable(wxAcceleratorTable(2, keys));

    Bind(wxEVT_MENU, &CMainFrame::onCommand, this, cmd::NewArchive, cmd::About);
    Bind(wxEVT_MENU, &CMainFrame::onCommand, this, cmd::kAlwaysOnTop);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::onUpdateUi, this, cmd::NewArchive, cmd::About);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::onUpdateUi, this, cmd::kAlwaysOnTop);
    Bind(wxEVT_MENU, &CMainFrame::onToggleView, this, cmd::kToggleViewKey);
    Bind(wxEVT_MENU, &CMainFrame::onToggleView, this, cmd::toWindowId(cmd::kToggleViewButton));
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { list_->SetFocus(); }, cmd::kFocusList);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            if (!classicView()) tree_->SetFocus();
        },
        cmd::toWindowId(cmd::kFocusTree));
    Bind(wxEVT_MENU, &CMainFrame::onRecentArchive, this, cmd::toWindowId(cmd::kArchiveFirst),
         cmd::toWindowId(cmd::kArchiveLast));
    Bind(wxEVT_COMBOBOX, &CMainFrame::onFilterPicked, this, kFilterBoxId);
    Bind(wxEVT_MENU, &CMainFrame::onViewer, this, cmd::kViewerFirst, cmd::kViewerLast);
    Bind(wxEVT_MENU_OPEN, &CMainFrame::onMenuOpen, this);
    Bind(wxEVT_TIMER, &CMainFrame::onClipboardTimer, this);
    clipboardTimer_.Start(1500);

    SetTitle(text::kCaption);
    refreshTotals();
    writeSelectedCount();
}

CMainFrame::~CMainFrame() {
    clipboardTimer_.Stop();
    session_.setFrame(nullptr);
}

void CMainFrame::buildMenus() {
    auto* bar = new wxMenuBar;
    wxMenu* file = nullptr;
    for (Menu menu : {Menu::File, Menu::Edit, Menu::Actions, Menu::Tools, Menu::Options, Menu::View, Menu::Help}) {
        auto* items = new wxMenu;
        for (const CommandEntry& entry : commandTable()) {
            if (entry.menu != menu) continue;
            if (entry.separatorBefore && items->GetMenuItemCount() > 0) items->AppendSeparator();
            if (entry.id == cmd::Exit) {
                // The recent archives stand above "E&xit".
                history_ = std::make_unique<wxFileHistory>(CRecentFileList::kSize, cmd::toWindowId(cmd::kArchiveFirst));
                history_->UseMenu(items);
            }
            wxString label = wx(entry.text);
            if (*entry.keys) label += "\t" + wx(entry.keys);
            wxItemKind kind = entry.mark == Mark::Radio   ? wxITEM_RADIO
                              : entry.mark == Mark::Check ? wxITEM_CHECK
                                                          : wxITEM_NORMAL;
            items->Append(entry.id, label, wx(entry.prompt), kind);
        }
        if (menu == Menu::File) file = items;
        bar->Append(items, menuTitle(menu));
    }
    SetMenuBar(bar);
    (void)file;
    // The registry's list, newest first, becomes the menu's list.
    const auto& recent = session_.app.recentFiles.entries();
    for (auto it = recent.rbegin(); it != recent.rend(); ++it) history_->AddFileToHistory(wx(*it));
    rebuildRecentTable();
}

void CMainFrame::rebuildRecentTable() {
    archivesByCommand_.clear();
    for (size_t i = 0; i < history_->GetCount(); ++i)
        archivesByCommand_[cmd::kArchiveFirst + static_cast<int>(i)] = utf8(history_->GetHistoryFile(i));
}

void CMainFrame::buildToolbars() {
    mainBar_ = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TEXT | wxTB_NODIVIDER);
    mainBar_->SetToolBitmapSize(wxSize(32, 32));
    for (const ToolButton& button : kMainButtons) {
        const CommandEntry* entry = findCommand(button.id);
        mainBar_->AddTool(cmd::toWindowId(button.id), button.label, themeBitmap(button.icon, 32, button.fallback),
                          wxNullBitmap, wxITEM_NORMAL, button.label, entry ? entry->prompt : kPromptsOnly);
        mainBar_->AddSeparator();
    }
    mainBar_->Realize();

    secondBar_ =
        new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    secondBar_->SetToolBitmapSize(wxSize(16, 16));
    for (const ToolButton& button : kSecondButtons) {
        const CommandEntry* entry = findCommand(button.id);
        secondBar_->AddTool(cmd::toWindowId(button.id), button.label, themeBitmap(button.icon, 16, button.fallback),
                            wxNullBitmap, wxITEM_NORMAL, button.label,
                            entry ? entry->prompt : "Switch between classic and explorer view");
    }
    secondBar_->AddSeparator();
    auto* label = new wxStaticText(secondBar_, kFilterLabelId, "Filter:");
    secondBar_->AddControl(label);
    wxArrayString entries;
    for (const auto& text : session_.progress.state.filterEntries) entries.Add(wx(text));
    filterBox_ =
        new wxComboBox(secondBar_, kFilterBoxId, "*.*", wxDefaultPosition, wxSize(150, -1), entries, wxCB_DROPDOWN);
    filterBox_->SetSelection(0);
    filterBox_->Disable();
    secondBar_->AddControl(filterBox_);
    secondBar_->Realize();
}

// --- state and dispatch ---

bool CMainFrame::classicView() const { return session_.app.flatView; }

CommandState CMainFrame::commandState() const {
    CommandState s;
    const auto& doc = session_.doc;
    s.open = doc.open;
    s.entries = session_.progress.state.entryCount;
    s.selected = list_ ? list_->selectedCount() : 0;
    s.kind = session_.app.archiveKind;
    s.extension = extensionOf(doc.archiveFileName.empty() ? doc.archivePath : doc.archiveFileName);
    s.sfxCapable = session_.flags.sfxCapable;
    s.modifiable = session_.flags.modifiable;
    s.installer = doc.installer;
    s.classicView = classicView();
    s.treeAtFirstRoot = !tree_ || tree_->atRoot();
    s.clipboardHasFiles = clipboardHasFiles_;
    s.activityLogEmpty = session_.app.activityLog.empty();
    s.listStyle = list_ ? list_->listStyle() : ListStyle::Details;
    s.sortColumn = list_ ? list_->model().sortColumn() : 0;
    s.alwaysOnTop = alwaysOnTop_;
    s.statusBarShown = GetStatusBar() && GetStatusBar()->IsShown();
    return s;
}

void CMainFrame::onCommand(wxCommandEvent& event) {
    const CommandEntry* entry = findCommand(event.GetId());
    if (!entry) return;
    // An accelerator whose command is disabled does nothing.
    if (!entry->enabled(commandState())) return;
    (this->*(entry->handler))();
}

void CMainFrame::onUpdateUi(wxUpdateUIEvent& event) {
    CommandUi ui = evaluateCommand(event.GetId(), commandState());
    event.Enable(ui.enabled);
    const CommandEntry* entry = findCommand(event.GetId());
    if (entry && entry->mark != Mark::None) event.Check(ui.checked);
}

void CMainFrame::onRecentArchive(wxCommandEvent& event) {
    auto it = archivesByCommand_.find(cmd::fromWindowId(event.GetId()));
    if (it == archivesByCommand_.end()) return;  // an unknown number does nothing
    std::string path = it->second;
    actions::openRecent(session_, path);
}

void CMainFrame::onToggleView(wxCommandEvent&) {
    if (classicView()) switchToExplorer();
    else switchToClassic();
    writeSelectedCount();
}

void CMainFrame::onFilterPicked(wxCommandEvent&) {
    if (!session_.doc.open) return;
    session_.applyFilter(utf8(filterBox_->GetValue()));
}

void CMainFrame::onMenuOpen(wxMenuEvent& event) {
    checkClipboard();
    event.Skip();
}

void CMainFrame::onClipboardTimer(wxTimerEvent&) {
    // Only while an archive that takes files is open: the answer enables "&Paste".
    if (session_.doc.open && IsActive()) checkClipboard();
}

void CMainFrame::checkClipboard() {
    bool has = false;
    if (wxTheClipboard->Open()) {
        has = wxTheClipboard->IsSupported(wxDF_FILENAME);
        wxTheClipboard->Close();
    }
    clipboardHasFiles_ = has;
}

void CMainFrame::notAvailable(const char* commandText) {
    std::string name;
    for (const char* c = commandText; *c; ++c)
        if (*c != '&') name += *c;
    session_.prompts.message(formatted(kNotAvailable, trim(name)), text::kCaption, platform::Buttons::Ok,
                             platform::Icon::Information);
}

void CMainFrame::trace(const std::string& line) {
    if (trace_) trace_->write(line);
}

// --- the window's parts ---

void CMainFrame::showInState(ShowState showState) {
    if (showState == ShowState::Maximized) Maximize();
    else if (showState == ShowState::Minimized) Iconize();
    Show();
}

WindowPlacement CMainFrame::placement() const {
    WindowPlacement p;
    wxRect r = GetRect();
    p.x = r.x;
    p.y = r.y;
    p.width = r.width;
    p.height = r.height;
    p.treeShown = !classicView();
    p.show = IsMaximized() ? ShowState::Maximized : IsIconized() ? ShowState::Minimized : ShowState::Show;
    return p;
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
    if (utf8(GetStatusBar()->GetStatusText(2)) == text) return;
    GetStatusBar()->SetStatusText(wx(text), 2);
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
    SelectionLists lists = selectionLists();
    auto& state = session_.progress.state;
    ExtractOptions options;
    options.destination = state.tempFolder;
    options.overwrite = 1;
    options.useStoredPaths = true;
    options.kind = kind;
    state.kind = kind;
    auto& wrapper = session_.doc.wrapper();
    std::vector<std::string> paths;
    auto hostPath = [&](const std::string& entry) {
        std::string relative = entry;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return (fs::path(state.tempFolder) / relative).string();
    };
    if (!lists.files.empty() && wrapper.extractFiles(options, lists.files) == 0)
        for (const auto& file : lists.files) paths.push_back(hostPath(file));
    if (!lists.folders.empty() && wrapper.extractByWildcard(options, lists.folders, "*") == 0)
        for (const auto& folder : lists.folders) paths.push_back(hostPath(folder));
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
    for (const auto& p : paths) data.AddFile(wx(p));
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
        if (entry) menu.Append(id, wx(entry->text), wx(entry->prompt));
    };
    menuApps_.clear();
    if (onItem) {
        std::vector<std::size_t> rows = list_->selectedRows();
        if (rows.size() == 1 && !list_->model().row(rows.front()).isFolder()) {
            // The file type's applications, numbered from 120; "&Open" without any.
            const CZipFileInfo* file = list_->model().row(rows.front()).file;
            for (const DesktopApp& app : applicationsFor(extensionOf(file->name), 20)) {
                menu.Append(cmd::kViewerFirst + 1 + static_cast<int>(menuApps_.size()), "Open with " + wx(app.name));
                menuApps_.push_back(app.id);
            }
            if (menuApps_.empty()) menu.Append(cmd::kViewerFirst + 1, "&Open");
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

void CMainFrame::onViewer(wxCommandEvent& event) {
    int id = event.GetId();
    std::vector<std::string> paths = extractSelectionToTemp(OperationKind::View);
    if (paths.size() != 1) return;
    const std::string& path = paths.front();
    if (id == cmd::kOpenWith) {
        std::vector<DesktopApp> apps = allApplications();
        wxArrayString names;
        for (const auto& app : apps) names.Add(wx(app.name));
        int chosen = wxGetSingleChoiceIndex("Open " + wx(fileNamePart(path)) + " with", text::kCaption, names, 0, this);
        if (chosen >= 0) launchApplication(apps[static_cast<std::size_t>(chosen)].id, path);
        return;
    }
    std::size_t index = static_cast<std::size_t>(id - cmd::kViewerFirst - 1);
    if (index < menuApps_.size() && launchApplication(menuApps_[index], path)) return;
    if (!openWithDesktop(path)) launch({"xdg-open", path});
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

// --- IMainFrameActions ---

void CMainFrame::setStatusText(const std::string& pane0) {
    GetStatusBar()->SetStatusText(wx(pane0), 0);
    trace("pane 0: " + pane0);
}

void CMainFrame::refreshTotals() {
    const auto& state = session_.progress.state;
    std::string text = totalsText(state.entryCount, state.totalSize);
    GetStatusBar()->SetStatusText(wx(text), 1);
    trace("pane 1: " + text);
}

void CMainFrame::setTitle(const std::string& title) {
    std::string shown = title;
    SetTitle(wx(shown));
    trace("title: " + shown);
}

void CMainFrame::enableFilterBox(bool enabled) {
    filterBox_->Enable(enabled);
    if (enabled && filterBox_->GetCount() > 0 && session_.progress.state.filterText.empty())
        filterBox_->SetSelection(0);
}

void CMainFrame::addFilterEntry(const std::string& text) {
    if (filterBox_->FindString(wx(text), true) == wxNOT_FOUND) filterBox_->Append(wx(text));
}

void CMainFrame::showArchiveTree() {
    auto& entries = session_.doc.entries();
    std::string rootText =
        session_.doc.archiveFileName.empty() ? fileNamePart(session_.doc.archivePath) : session_.doc.archiveFileName;
    if (classicView()) {
        tree_->clear();
        list_->showAll(entries.allEntries());
    } else {
        tree_->populate(entries, rootText);
        list_->showNode(tree_->selectedNode());
    }
    if (trace_) {
        trace("tree: " + std::to_string(tree_->GetCount()) + " folders, root " + rootText);
        // Where the list stands once the layout has settled.
        CallAfter([this] { trace("columns: " + list_->headerGeometry()); });
    }
}

void CMainFrame::clearViews() {
    tree_->clear();
    list_->clear();
}

void CMainFrame::addToRecentMenu(const std::string& path) {
    history_->AddFileToHistory(wx(path));
    rebuildRecentTable();
}

void CMainFrame::removeFromRecentMenu(const std::string& path) {
    for (size_t i = 0; i < history_->GetCount(); ++i) {
        if (utf8(history_->GetHistoryFile(i)) == path) {
            history_->RemoveFileFromHistory(i);
            break;
        }
    }
    rebuildRecentTable();
}

void CMainFrame::showWindow(ShowState showState) {
    if (showState == ShowState::Maximized) Maximize();
    else if (showState == ShowState::Minimized) Iconize();
    Show();
}

// --- commands ---

void CMainFrame::openPath(const std::string& path) { session_.openWithBusyDialog(path); }

void CMainFrame::onOpenArchive() {
    wxString folder = session_.app.archivesFolder.empty() ? wxString() : wx(session_.app.archivesFolder.string());
    wxFileDialog dialog(this, "Open Archive", folder, wxEmptyString, kOpenFilter, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return;
    std::string path = utf8(dialog.GetPath());
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        auto answer = session_.prompts.message(formatted(kCannotOpenCreate, path), text::kCaption,
                                               platform::Buttons::YesNo, platform::Icon::Stop);
        if (answer == platform::Answer::Yes) session_.doc.createArchive(path, fileNamePart(path));
        return;
    }
    if (extensionOf(path) == "exe") {
        int count = 0;
        int status = session_.doc.wrapper().library().fileCount(path, count);
        if (status == OutcomeCode::Ok && count < 1) {
            session_.prompts.message(kNotSelfExtracting, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
            return;
        }
    }
    openPath(path);
}

void CMainFrame::onNewArchive() {
    wxString folder = session_.app.archivesFolder.empty() ? wxString() : wx(session_.app.archivesFolder.string());
    wxFileDialog dialog(this, "New Archive", folder, wxEmptyString, kNewFilter, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK) return;
    std::string path = utf8(dialog.GetPath());
    if (extensionOf(path).empty()) path += ".zip";
    std::error_code ec;
    if (fs::exists(path, ec)) {
        auto answer = session_.prompts.message(formatted(kCannotCreateOpen, path), text::kCaption,
                                               platform::Buttons::YesNo, platform::Icon::Stop);
        if (answer == platform::Answer::Yes) openPath(path);
        return;
    }
    if (!session_.doc.createArchive(path, fileNamePart(path))) return;
    clearViews();
    showArchiveTree();
    if (extensionOf(path) == "cab") session_.app.archiveKind = ArchiveKind::Cab;
    onAdd();
}

void CMainFrame::onCloseArchive() {
    session_.doc.closeArchive();
    writeSelectedCount();
}

void CMainFrame::onRefresh() { session_.refresh(); }

void CMainFrame::onExit() { Close(); }

void CMainFrame::onSelectAll() {
    list_->selectAll();
    writeSelectedCount();
}

void CMainFrame::onInvertSelection() {
    list_->invertSelection();
    writeSelectedCount();
}

void CMainFrame::onClassicView() {
    switchToClassic();
    writeSelectedCount();
}

void CMainFrame::onExplorerView() {
    switchToExplorer();
    writeSelectedCount();
}

void CMainFrame::onStatusBar() {
    GetStatusBar()->Show(!GetStatusBar()->IsShown());
    SendSizeEvent();
}

void CMainFrame::onLargeIcons() { list_->setListStyle(ListStyle::LargeIcons); }
void CMainFrame::onSmallIcons() { list_->setListStyle(ListStyle::SmallIcons); }
void CMainFrame::onListStyle() { list_->setListStyle(ListStyle::List); }
void CMainFrame::onDetails() { list_->setListStyle(ListStyle::Details); }
void CMainFrame::onSortByName() { list_->sortAscendingBy(kColName); }
void CMainFrame::onSortByType() { list_->sortAscendingBy(kColType); }
void CMainFrame::onSortByDate() { list_->sortAscendingBy(kColDate); }
void CMainFrame::onSortBySize() { list_->sortAscendingBy(kColSize); }
void CMainFrame::onSortByRatio() { list_->sortAscendingBy(kColRatio); }
void CMainFrame::onSortByPackedSize() { list_->sortAscendingBy(kColPacked); }
void CMainFrame::onSortByPath() { list_->sortAscendingBy(kColPath); }

void CMainFrame::onUpOneLevel() { tree_->upOneLevel(); }

void CMainFrame::onLastLog() { showActivityLog(); }

void CMainFrame::onAlwaysOnTop() {
    alwaysOnTop_ = !alwaysOnTop_;
    long style = GetWindowStyleFlag();
    SetWindowStyleFlag(alwaysOnTop_ ? style | wxSTAY_ON_TOP : style & ~wxSTAY_ON_TOP);
}

bool CMainFrame::launch(const std::vector<std::string>& command) { return session_.launcher.launch(command, true); }

void CMainFrame::onOpenContainingFolder() {
    const std::string& path = session_.doc.archivePath;
    if (path.empty()) return;
    // The file manager shows the archive selected; without one on the bus the folder opens.
    if (!fileManagerShowItem(path)) launch({"xdg-open", fileUri(fs::path(path).parent_path().string())});
}

void CMainFrame::onProperties() {
    const std::string& path = session_.doc.archivePath;
    if (!path.empty()) fileManagerShowProperties(path);
}

void CMainFrame::onMyComputer() {
    if (!fileManagerShowFolder("/")) launch({"xdg-open", "file:///"});
}

void CMainFrame::onPrint() {
    // The list as a table, through the desktop's print dialog (which also prints to PDF).
    const CFileListModel& model = list_->model();
    wxString html = "<html><body><h3>" + wxString(wx(session_.doc.archivePath)).Trim() +
                    "</h3><table border=1 cellspacing=0 cellpadding=2><tr>";
    for (const char* title : kColumnTitles) html += wxString("<th>") + title + "</th>";
    html += "</tr>";
    auto escape = [](const std::string& text) {
        wxString out;
        for (wxUniChar c : wx(text)) {
            if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c == '&') out += "&amp;";
            else out += c;
        }
        return out;
    };
    for (std::size_t row = 0; row < model.size(); ++row) {
        html += "<tr>";
        for (int column = 0; column < kColumnCount; ++column)
            html += "<td>" + escape(model.text(row, column)) + "</td>";
        html += "</tr>";
    }
    html += "</table></body></html>";
    wxHtmlEasyPrinting printing(text::kCaption, this);
    printing.PrintText(html);
}

void CMainFrame::onMailArchive() { session_.doc.sendByMail(); }
void CMainFrame::onQuarvaSplit() { session_.doc.openInSplitter(); }
void CMainFrame::onVirusScan() { session_.doc.scanForViruses(); }
void CMainFrame::onAddToFavorites() { session_.doc.addToFavourites(); }

void CMainFrame::onUltraTextSearch() {
    // The format library of this suite has no text search entry point.
    session_.prompts.message(kComponentsMissing, text::kCaption, platform::Buttons::Ok, platform::Icon::None);
}

void CMainFrame::onQuarvaSoftware() { wxLaunchDefaultBrowser(kProductPage); }
void CMainFrame::onWebSite() { wxLaunchDefaultBrowser(kWebSite); }

void CMainFrame::onShowTip() {
    CTipDlg dialog(this, session_.app.store(), session_.app.installedPath / "tips.txt");
    dialog.ShowModal();
}

void CMainFrame::onAbout() {
    wxAboutDialogInfo info;
    info.SetName(text::kCaption);
    info.SetDescription("The archive manager of Quarva.Zip Suite");
    wxAboutBox(info, this);
}

void CMainFrame::onHelp() {
    fs::path book = session_.app.installedPath / "veldsuite.htb";
    std::error_code ec;
    if (!fs::exists(book, ec)) {
        notAvailable("&Help ");
        return;
    }
    if (!help_) {
        help_ = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, this);
        help_->AddBook(wxFileName(wx(book.string())));
    }
    help_->DisplayContents();
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
        files->AddFile(wx(p));
        gnome += "\n" + fileUri(p);
        plain += (plain.empty() ? "" : "\n") + p;
    }
    all->Add(files, true);
    auto* copied = new wxCustomDataObject(wxDataFormat("x-special/gnome-copied-files"));
    copied->SetData(gnome.size(), gnome.data());
    all->Add(copied);
    all->Add(new wxTextDataObject(wx(plain)));
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
void CMainFrame::onCreateShortcut() { notAvailable("Create S&hortcut on Desktop"); }
void CMainFrame::onAdd() { startAddCommand({}, {}); }
void CMainFrame::onExtract() { startExtractCommand(); }
void CMainFrame::onView() {
    // The selected files are extracted into the private temporary folder and opened
    // with the desktop's application for their type.
    std::vector<std::string> paths = extractSelectionToTemp(OperationKind::View);
    for (const auto& path : paths) {
        std::error_code ec;
        if (fs::is_regular_file(path, ec) && !openWithDesktop(path)) launch({"xdg-open", path});
    }
}
void CMainFrame::onInstall() { notAvailable("&Install"); }
void CMainFrame::onFindInZip() { notAvailable("Find Files in &Zip "); }
void CMainFrame::onConfiguration() { notAvailable("&Configuration"); }
void CMainFrame::onHideInTray() { notAvailable("&Hide in Tray"); }
void CMainFrame::onCheckForUpdates() { notAvailable("Check for &Updates"); }

}  // namespace quarva::archive::ui
