#pragma once
// The archive manager's single top-level window: two toolbars (the second with the
// filter box), the folder tree beside the file list, the menu built from the
// command table, and the four-pane status bar. It routes every command to its
// handler, asks the command table whether each is enabled, and is the main window
// the archive logic talks to.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>

#include <wx/frame.h>
#include <wx/timer.h>

#include "archive/commands/CommandTable.h"
#include "archive/commands/FileListModel.h"
#include "archive/commands/MainFrameActions.h"
#include "archive/commands/OperationState.h"
#include "archive/commands/SelectionLists.h"
#include "archive/core/Configuration.h"
#include "archive/utilities/FileChangeEvent.h"
#include "platform/Prompts.h"
#include "platform/WindowMessages.h"

class wxComboBox;
class wxDialog;
class wxFileHistory;
class wxToolBar;
class wxHtmlHelpController;
class wxThreadEvent;

namespace quarva::archive {
class CArchiveSession;
struct FoundFile;
}  // namespace quarva::archive

namespace quarva::archive::ui {

class CLeftView;
class CQuarvaZipView;
class CUsefulSplitterWnd;
class CUiTrace;
class CSysTray;

class CMainFrame : public wxFrame, public IMainFrameActions, public ICommandHandlers {
public:
    CMainFrame(CArchiveSession& session, const WindowPlacement& placement);
    ~CMainFrame() override;

    // Classic view hides the folder tree and lists every file; explorer view shows
    // the tree beside the list of its selected folder.
    void switchToClassic(bool force = false);
    void switchToExplorer();
    bool classicView() const;
    // Shows the window in a saved show state (maximised, minimised, otherwise normal).
    void showInState(ShowState showState);
    // The restored placement as the configuration command saves it.
    WindowPlacement placement() const;
    CommandState commandState() const;

    // --- from the views ---
    void showFolder(const CZorvTreeNode* node);
    void listChanged();
    void listSorted();
    void selectionChanged();
    void activateRow(const FileListRow& row);
    void dragOut();
    // The list's context menu: on an item or on the background.
    void showListMenu(bool onItem, const wxPoint& where);
    bool draggingOut() const { return draggingOut_; }
    // Files dropped from the file manager (see CInterfaceDropTarget).
    void dropFiles(const std::vector<std::string>& paths);
    // Records a message box in the window's trace just before it shows.
    void traceBox(const platform::MessageBoxRequest& box);

    // --- IMainFrameActions ---
    void setStatusText(const std::string& pane0) override;
    void refreshTotals() override;
    void setTitle(const std::string& title) override;
    void enableFilterBox(bool enabled) override;
    void addFilterEntry(const std::string& text) override;
    void showArchiveTree() override;
    void clearViews() override;
    void addToRecentMenu(const std::string& path) override;
    void removeFromRecentMenu(const std::string& path) override;
    void showActivityLog() override;
    void showWindow(ShowState showState) override;
    void startAddCommand(const std::vector<std::string>& folders, const std::vector<std::string>& files) override;
    void startExtractCommand() override;
    bool hasNewDiskDialog() const override { return true; }
    std::optional<bool> askNewDisk(int disk) override;
    bool runFindInZip() override;

    // --- ICommandHandlers ---
    void onNewArchive() override;
    void onOpenArchive() override;
    void onSaveAs() override;
    void onCloseArchive() override;
    void onProperties() override;
    void onCreateShortcut() override;
    void onOpenContainingFolder() override;
    void onAddToFavorites() override;
    void onMoveArchive() override;
    void onCopyArchive() override;
    void onRenameArchive() override;
    void onDeleteArchive() override;
    void onPrint() override;
    void onMailArchive() override;
    void onExit() override;
    void onCopy() override;
    void onPaste() override;
    void onSelectAll() override;
    void onInvertSelection() override;
    void onAdd() override;
    void onDelete() override;
    void onExtract() override;
    void onView() override;
    void onMakeExe() override;
    void onEncodeArchive() override;
    void onComment() override;
    void onInstall() override;
    void onFixZip() override;
    void onTestSelected() override;
    void onUltraTextSearch() override;
    void onFindInZip() override;
    void onQuarvaSplit() override;
    void onVirusScan() override;
    void onConfiguration() override;
    void onPassword() override;
    void onHideInTray() override;
    void onClassicView() override;
    void onExplorerView() override;
    void onStatusBar() override;
    void onLargeIcons() override;
    void onSmallIcons() override;
    void onListStyle() override;
    void onDetails() override;
    void onSortByName() override;
    void onSortByType() override;
    void onSortByDate() override;
    void onSortBySize() override;
    void onSortByRatio() override;
    void onSortByPackedSize() override;
    void onSortByPath() override;
    void onRefresh() override;
    void onLastLog() override;
    void onUpOneLevel() override;
    void onMyComputer() override;
    void onQuarvaSoftware() override;
    void onHelp() override;
    void onShowTip() override;
    void onCheckForUpdates() override;
    void onWebSite() override;
    void onAbout() override;
    void onAlwaysOnTop() override;

private:
    // --- the dialogs' side of the commands (MainFrameDialogs.cpp) ---
    // Shows a dialog modally; the trace names it (by `title`, else its own) once it stands.
    int showDialog(wxDialog& dialog, std::string title = {});
    void runAddDialog();
    // "P&roperties" of the list's menu: the selected entries' properties page.
    void showEntryProperties();
    void runAddFromLists(const std::vector<std::string>& folders, const std::vector<std::string>& files);
    // "&Password..." of the add dialogs: the engine's password, typed twice.
    void askAddPassword();
    // The list view's selection as file and folder lists of entry names.
    SelectionLists listSelection() const;
    // The folder chooser of copy and move; "" after "Cancel".
    std::string chooseFolder(const std::string& title);
    // The desktop's copy or move of a file, with progress; false when it did not
    // happen (the error was shown).
    bool transferFile(bool move, const std::string& source, const std::string& target);
    void refreshAfterChange();
    // "Converting..." around a format-library call; then its outcome messages.
    void runConversion(const std::string& source, const std::string& target,
                       const std::function<int(platform::WindowHandle)>& call);
    void showText(const std::string& text, const std::string& title);
    // --- Find Files in Zip (MainFrameFind.cpp) ---
    // A match of the dialog: its archive opens, the entry is extracted into the
    // private temporary folder and opened with the desktop's application.
    void openFoundMatch(const FoundFile& match);

    void buildMenus();
    void buildToolbars();
    void onCommand(wxCommandEvent& event);
    void onUpdateUi(wxUpdateUIEvent& event);
    void onRecentArchive(wxCommandEvent& event);
    void onToggleView(wxCommandEvent& event);
    void onFilterPicked(wxCommandEvent& event);
    void onMenuOpen(wxMenuEvent& event);
    void onClipboardTimer(wxTimerEvent& event);
    void rebuildRecentTable();
    void notAvailable(const char* commandText);
    void checkClipboard();
    void trace(const std::string& line);
    SelectionLists selectionLists() const;
    // Extracts the selection into the private temporary folder under `kind`; the
    // host paths of what was extracted.
    std::vector<std::string> extractSelectionToTemp(OperationKind kind);
    std::vector<std::string> extractToTemp(const SelectionLists& lists, OperationKind kind);
    // Where an entry's copy lands in the private temporary folder.
    std::string tempCopyOf(const std::string& entry) const;
    void writeSelectedCount();
    void openPath(const std::string& path);
    bool launch(const std::vector<std::string>& command);

    CArchiveSession& session_;
    CUsefulSplitterWnd* splitter_ = nullptr;
    CLeftView* tree_ = nullptr;
    CQuarvaZipView* list_ = nullptr;
    wxToolBar* mainBar_ = nullptr;
    wxToolBar* secondBar_ = nullptr;
    wxComboBox* filterBox_ = nullptr;
    std::unique_ptr<wxFileHistory> history_;
    std::unique_ptr<wxHtmlHelpController> help_;
    std::map<int, std::string> archivesByCommand_;  // commands 33000-33200
    std::unique_ptr<CUiTrace> trace_;
    wxTimer clipboardTimer_;
    bool clipboardHasFiles_ = false;
    bool alwaysOnTop_ = false;
    bool draggingOut_ = false;
    ListStyle savedStyle_ = ListStyle::Details;

    // --- the window's placement as the configuration command saves it (MainFrameSettings.cpp) ---
    // Follows the window's moves and sizes while it is neither maximised nor minimised.
    void trackRestoredPlacement();
    wxRect restoredRect_;

    // --- tray icon, tip, about box, update check (MainFrameTray.cpp) ---
    void onTrayCommand(int windowId);
    void launchAnotherInstance();
    std::unique_ptr<CSysTray> tray_;  // made on the first "&Hide in Tray"

    // --- editing entries in place (MainFrameEditing.cpp) ---
    void startEditWatch();
    // The viewer commands 119-139: 137 "Op&en With...", n the file type's program n - 120.
    void onViewer(wxCommandEvent& event);
    // Extracts the selected files for editing (their copies unwatched meanwhile).
    std::vector<std::string> extractForEditing();
    // Opens the selected files with the file type's program `verb`; with
    // `association` the desktop's default for the type is tried first.
    void openSelection(int verb, bool association);
    void openWithChooser(const std::vector<std::string>& copies);
    void watchCopy(const std::string& copy);
    // The program did not start: the copy is no longer watched, and `failure` is shown.
    void unwatchCopy(const std::string& copy, const char* failure);
    void onFileChange(wxThreadEvent& event);
    void promptForChanges();
    void addChangedCopy(const std::string& path);
    std::unique_ptr<CFileModified> watcher_;
    std::map<std::string, std::string> viewedFrom_;  // copy -> the archive it was extracted from
    std::deque<std::string> changes_;                // saved copies waiting for their prompt
    bool promptingChanges_ = false;
    std::unique_ptr<wxTimer> changeRetry_;

    // --- the code page of legacy zip names (MainFrameCodePage.cpp) ---
    // "Names' C&ode Page" in the View menu: "Automatic" and the common code pages.
    void buildCodePageMenu();
    void onCodePage(wxCommandEvent& event);
    void onUpdateCodePage(wxUpdateUIEvent& event);
};

}  // namespace quarva::archive::ui
