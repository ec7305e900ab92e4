#include "archive/ui/MainFrame.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <unistd.h>

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
#include "archive/ui/SysTray.h"
#include "archive/ui/UiTrace.h"
#include "archive/ui/UsefulSplitterWnd.h"
#include "archive/ui/WxText.h"
#include "platform/ui/HelpBook.h"
#include "archive/ui/ZipArt.h"

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
    SetIcons(quarvaZipIcons());
    buildMenus();
    buildCodePageMenu();
    buildToolbars();

    splitter_ = new CUsefulSplitterWnd(this);
    list_ = new CQuarvaZipView(splitter_, *this, session_.app.configuration.viewBits);
    const CFileIcons& icons = list_->icons();
    tree_ = new CLeftView(splitter_, *this, list_->icons().small(),
                          {icons.folderImage(), icons.openFolderImage(), icons.archiveImage()});
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
    startEditWatch();

    SetTitle(text::kCaption);
    trackRestoredPlacement();
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
            wxString label = toWx(entry.text);
            if (*entry.keys) label += "\t" + toWx(entry.keys);
            wxItemKind kind = entry.mark == Mark::Radio   ? wxITEM_RADIO
                              : entry.mark == Mark::Check ? wxITEM_CHECK
                                                          : wxITEM_NORMAL;
            items->Append(entry.id, label, toWx(entry.prompt), kind);
        }
        if (menu == Menu::File) file = items;
        bar->Append(items, menuTitle(menu));
    }
    SetMenuBar(bar);
    (void)file;
    // The registry's list, newest first, becomes the menu's list.
    const auto& recent = session_.app.recentFiles.entries();
    for (auto it = recent.rbegin(); it != recent.rend(); ++it) history_->AddFileToHistory(toWx(*it));
    rebuildRecentTable();
}

void CMainFrame::rebuildRecentTable() {
    archivesByCommand_.clear();
    for (size_t i = 0; i < history_->GetCount(); ++i)
        archivesByCommand_[cmd::kArchiveFirst + static_cast<int>(i)] = fromWx(history_->GetHistoryFile(i));
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
    for (const auto& text : session_.progress.state.filterEntries) entries.Add(toWx(text));
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
    session_.applyFilter(fromWx(filterBox_->GetValue()));
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
    // Asking the clipboard waits in a nested event loop, where the timer or a menu
    // may ask again: that second question is left to the first.
    if (wxTheClipboard->IsOpened()) return;
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

void CMainFrame::traceBox(const platform::MessageBoxRequest& box) {
    if (trace_) trace_->writeBox(box);
}

// --- IMainFrameActions ---

void CMainFrame::setStatusText(const std::string& pane0) {
    GetStatusBar()->SetStatusText(toWx(pane0), 0);
    trace("pane 0: " + pane0);
}

void CMainFrame::refreshTotals() {
    const auto& state = session_.progress.state;
    std::string text = totalsText(state.entryCount, state.totalSize);
    GetStatusBar()->SetStatusText(toWx(text), 1);
    trace("pane 1: " + text);
}

void CMainFrame::setTitle(const std::string& title) {
    std::string shown = title;
    SetTitle(toWx(shown));
    trace("title: " + shown);
}

void CMainFrame::enableFilterBox(bool enabled) {
    filterBox_->Enable(enabled);
    if (enabled && filterBox_->GetCount() > 0 && session_.progress.state.filterText.empty())
        filterBox_->SetSelection(0);
}

void CMainFrame::addFilterEntry(const std::string& text) {
    if (filterBox_->FindString(toWx(text), true) == wxNOT_FOUND) filterBox_->Append(toWx(text));
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
    history_->AddFileToHistory(toWx(path));
    rebuildRecentTable();
}

void CMainFrame::removeFromRecentMenu(const std::string& path) {
    for (size_t i = 0; i < history_->GetCount(); ++i) {
        if (fromWx(history_->GetHistoryFile(i)) == path) {
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
    wxString folder = session_.app.archivesFolder.empty() ? wxString() : toWx(session_.app.archivesFolder.string());
    wxFileDialog dialog(this, "Open Archive", folder, wxEmptyString, kOpenFilter, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return;
    std::string path = fromWx(dialog.GetPath());
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
    wxString folder = session_.app.archivesFolder.empty() ? wxString() : toWx(session_.app.archivesFolder.string());
    wxFileDialog dialog(this, "New Archive", folder, wxEmptyString, kNewFilter, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK) return;
    std::string path = fromWx(dialog.GetPath());
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

void CMainFrame::onMailArchive() { session_.doc.sendByMail(); }
void CMainFrame::onQuarvaSplit() { session_.doc.openInSplitter(); }
void CMainFrame::onVirusScan() { session_.doc.scanForViruses(); }

void CMainFrame::onUltraTextSearch() {
    // The format library of this suite has no text search entry point.
    session_.prompts.message(kComponentsMissing, text::kCaption, platform::Buttons::Ok, platform::Icon::None);
}

void CMainFrame::onQuarvaSoftware() { wxLaunchDefaultBrowser(kProductPage); }
void CMainFrame::onWebSite() { wxLaunchDefaultBrowser(kWebSite); }

void CMainFrame::onHelp() {
    if (!help_) help_ = platform::loadHelpBook(this, session_.app.installedPath / "veldsuite.htb", "Help: %s");
    if (!help_) {
        notAvailable("&Help ");
        return;
    }
    help_->DisplayContents();
}

void CMainFrame::onAdd() { startAddCommand({}, {}); }
void CMainFrame::onExtract() { startExtractCommand(); }
void CMainFrame::onInstall() { notAvailable("&Install"); }

}  // namespace quarva::archive::ui
