#include "archive/commands/CommandTable.h"

#include <algorithm>
#include <array>

namespace quarva::archive {

namespace {

using S = CommandState;
using H = ICommandHandlers;

bool always(const S&) { return true; }
bool isOpen(const S& s) { return s.open; }
bool openWithEntries(const S& s) { return s.open && s.entries != 0; }
bool hasSelection(const S& s) { return s.selected != 0; }
bool engineOrNewLibrary(const S& s) { return s.kind == ArchiveKind::Zip || s.kind == ArchiveKind::NewLibrary; }
bool canPaste(const S& s) { return s.open && engineOrNewLibrary(s) && s.clipboardHasFiles; }
// A cabinet takes files only while it is still empty: its format library writes whole cabinets.
bool canAdd(const S& s) { return s.open && (engineOrNewLibrary(s) || (s.kind == ArchiveKind::Cab && s.entries == 0)); }
bool canDelete(const S& s) { return s.open && s.selected != 0 && engineOrNewLibrary(s); }
bool canExtract(const S& s) { return s.open && s.kind != ArchiveKind::OtherLibrary; }
bool canView(const S& s) { return s.open && s.selected != 0; }
bool canMakeExe(const S& s) { return s.open && s.sfxCapable; }
bool canEncode(const S& s) { return s.open && s.modifiable; }
bool canComment(const S& s) { return s.open && s.kind == ArchiveKind::Zip; }
bool canInstall(const S& s) { return s.installer; }
bool canSetPassword(const S& s) {
    return s.open && (s.extension == "zip" || s.extension == "bh" || s.extension == "jar");
}
bool explorerOnly(const S& s) { return !s.classicView; }
bool canShowLog(const S& s) { return s.open && !s.activityLogEmpty; }
bool canGoUp(const S& s) { return !s.classicView && !s.treeAtFirstRoot; }

bool classic(const S& s) { return s.classicView; }
bool explorer(const S& s) { return !s.classicView; }
bool statusBarShown(const S& s) { return s.statusBarShown; }
bool largeIcons(const S& s) { return !s.classicView && s.listStyle == ListStyle::LargeIcons; }
bool smallIcons(const S& s) { return !s.classicView && s.listStyle == ListStyle::SmallIcons; }
bool listStyle(const S& s) { return !s.classicView && s.listStyle == ListStyle::List; }
bool details(const S& s) { return s.classicView || s.listStyle == ListStyle::Details; }
template <int Column>
bool sortedBy(const S& s) {
    return s.sortColumn == Column;
}
bool onTop(const S& s) { return s.alwaysOnTop; }

using M = Menu;
constexpr Mark kRadio = Mark::Radio, kCheck = Mark::Check;

// clang-format off
const std::array kCommands = {
    CommandEntry{cmd::NewArchive, M::File, "&New Archive", "Ctrl+N", "Create a new archive", &H::onNewArchive, always},
    CommandEntry{cmd::OpenArchive, M::File, "&Open Archive", "Ctrl+O", "Open an existing archive", &H::onOpenArchive, always},
    CommandEntry{cmd::SaveAs, M::File, "&Save As", "Ctrl+S", "Save the archive as another archive type", &H::onSaveAs, isOpen},
    CommandEntry{cmd::CloseArchive, M::File, "&Close Archive", "Ctrl+F4", "Close the archive", &H::onCloseArchive, isOpen},
    CommandEntry{cmd::Properties, M::File, "&Properties", "Alt+Enter", "Show the archive file's properties", &H::onProperties, openWithEntries, Mark::None, nullptr, true},
    CommandEntry{cmd::CreateShortcut, M::File, "Create S&hortcut on Desktop", "F6", "Put a link to the archive on the desktop", &H::onCreateShortcut, openWithEntries},
    CommandEntry{cmd::OpenContainingFolder, M::File, "Open Contai&ning Folder", "Alt+F2", "Show the archive in the file manager", &H::onOpenContainingFolder, isOpen},
    CommandEntry{cmd::AddToFavorites, M::File, "Add to Explorer Fa&vorites", "F7", "Add the archive to the favourites", &H::onAddToFavorites, isOpen},
    CommandEntry{cmd::MoveArchive, M::File, "&Move Archive", "Alt+M", "Move the archive to another folder", &H::onMoveArchive, openWithEntries, Mark::None, nullptr, true},
    CommandEntry{cmd::CopyArchive, M::File, "Cop&y Archive", "Alt+C", "Copy the archive to another folder", &H::onCopyArchive, openWithEntries},
    CommandEntry{cmd::RenameArchive, M::File, "R&ename Archive", "Alt+R", "Rename the archive", &H::onRenameArchive, openWithEntries},
    CommandEntry{cmd::DeleteArchive, M::File, "&Delete Archive", "Alt+D", "Delete the archive", &H::onDeleteArchive, openWithEntries},
    CommandEntry{cmd::Print, M::File, "&Print", "Ctrl+P", "Print the list of files", &H::onPrint, openWithEntries, Mark::None, nullptr, true},
    CommandEntry{cmd::MailArchive, M::File, "M&ail Archive", "Ctrl+M", "Send the archive by mail", &H::onMailArchive, isOpen},
    CommandEntry{cmd::Exit, M::File, "E&xit", "Alt+F4", "Quit the archive manager", &H::onExit, always, Mark::None, nullptr, true},

    CommandEntry{cmd::Copy, M::Edit, "&Copy", "Ctrl+C", "Copy the selected files to the clipboard", &H::onCopy, hasSelection},
    CommandEntry{cmd::Paste, M::Edit, "&Paste", "Ctrl+V", "Add the files on the clipboard to the archive", &H::onPaste, canPaste},
    CommandEntry{cmd::SelectAll, M::Edit, "Select &All", "Ctrl+A", "Select every file in the list", &H::onSelectAll, isOpen, Mark::None, nullptr, true},
    CommandEntry{cmd::InvertSelection, M::Edit, "&Invert Selection", "Alt+I", "Invert the selection", &H::onInvertSelection, isOpen},

    CommandEntry{cmd::Add, M::Actions, "&Add", "Ctrl+D", "Add files to the archive", &H::onAdd, canAdd},
    CommandEntry{cmd::Delete, M::Actions, "&Delete", "Shift+Del", "Delete the selected files from the archive", &H::onDelete, canDelete},
    CommandEntry{cmd::Extract, M::Actions, "&Extract", "Ctrl+R", "Extract files from the archive", &H::onExtract, canExtract},
    CommandEntry{cmd::View, M::Actions, "&View", "Alt+W", "View the selected files", &H::onView, canView},
    CommandEntry{cmd::MakeExe, M::Actions, "Ma&ke .EXE", "Alt+X", "Make a self-extracting archive", &H::onMakeExe, canMakeExe, Mark::None, nullptr, true},
    CommandEntry{cmd::EncodeArchive, M::Actions, "Enc&ode Archive", "Alt+N", "Encode the archive as text", &H::onEncodeArchive, canEncode},
    CommandEntry{cmd::Comment, M::Actions, "&Comment", "", "Show or edit the archive's comment", &H::onComment, canComment},
    CommandEntry{cmd::Install, M::Actions, "&Install", "Ctrl+T", "Extract the archive and run its setup program", &H::onInstall, canInstall},
    CommandEntry{cmd::FixZip, M::Actions, "&Fix Zip", "Ctrl+Z", "Repair a damaged zip archive", &H::onFixZip, always, Mark::None, nullptr, true},
    CommandEntry{cmd::TestSelected, M::Actions, "Te&st Selected item(s)", "Alt+S", "Test the selected files", &H::onTestSelected, hasSelection},

    CommandEntry{cmd::UltraTextSearch, M::Tools, "&Ultra Text Search", "F3", "Search the text of the archive's files", &H::onUltraTextSearch, always},
    CommandEntry{cmd::FindInZip, M::Tools, "Find Files in &Zip ", "Ctrl+F", "Find files in zip archives", &H::onFindInZip, always},
    CommandEntry{cmd::QuarvaSplit, M::Tools, "Quarva.&Split", "Alt+P", "Open the archive in the file splitter", &H::onQuarvaSplit, always},
    CommandEntry{cmd::VirusScan, M::Tools, "&Virus Scan", "Ctrl+U", "Scan the archive for viruses", &H::onVirusScan, always},

    CommandEntry{cmd::Configuration, M::Options, "&Configuration", "", "Change the settings", &H::onConfiguration, always},
    CommandEntry{cmd::Password, M::Options, "&Password", "", "Set the password for adding and extracting", &H::onPassword, canSetPassword},
    CommandEntry{cmd::HideInTray, M::Options, "&Hide in Tray", "F4", "Hide the window in the notification area", &H::onHideInTray, always},

    CommandEntry{cmd::ClassicView, M::View, "&Classic View", "", "Show every file of the archive in one list", &H::onClassicView, always, kRadio, classic},
    CommandEntry{cmd::ExplorerView, M::View, "E&xplorer View", "", "Show the folder tree beside the list", &H::onExplorerView, always, kRadio, explorer},
    CommandEntry{cmd::StatusBar, M::View, "&Status Bar", "", "Show or hide the status bar", &H::onStatusBar, always, kCheck, statusBarShown, true},
    CommandEntry{cmd::LargeIcons, M::View, "Lar&ge Icons", "", "Show large icons", &H::onLargeIcons, explorerOnly, kRadio, largeIcons, true},
    CommandEntry{cmd::SmallIcons, M::View, "S&mall Icons", "", "Show small icons", &H::onSmallIcons, explorerOnly, kRadio, smallIcons},
    CommandEntry{cmd::ListStyle, M::View, "&List", "", "Show the files in a list", &H::onListStyle, explorerOnly, kRadio, listStyle},
    CommandEntry{cmd::Details, M::View, "&Details", "", "Show the files with their details", &H::onDetails, always, kRadio, details},
    CommandEntry{cmd::SortByName, M::View, "by &Name", "", "Sort the list by name", &H::onSortByName, always, kRadio, sortedBy<0>, true},
    CommandEntry{cmd::SortByType, M::View, "by &Type", "", "Sort the list by type", &H::onSortByType, always, kRadio, sortedBy<1>},
    CommandEntry{cmd::SortByDate, M::View, "by &Date", "", "Sort the list by date", &H::onSortByDate, always, kRadio, sortedBy<2>},
    CommandEntry{cmd::SortBySize, M::View, "by S&ize", "", "Sort the list by size", &H::onSortBySize, always, kRadio, sortedBy<3>},
    CommandEntry{cmd::SortByRatio, M::View, "by &Compression Ratio", "", "Sort the list by compression ratio", &H::onSortByRatio, always, kRadio, sortedBy<4>},
    CommandEntry{cmd::SortByPackedSize, M::View, "by &Packed Size", "", "Sort the list by packed size", &H::onSortByPackedSize, always, kRadio, sortedBy<5>},
    CommandEntry{cmd::SortByPath, M::View, "by P&ath", "", "Sort the list by path", &H::onSortByPath, always, kRadio, sortedBy<6>},
    CommandEntry{cmd::Refresh, M::View, "R&efresh", "F5", "List the archive again", &H::onRefresh, isOpen, Mark::None, nullptr, true},
    CommandEntry{cmd::LastLog, M::View, "&Last Log", "Alt+L", "View the last activity log", &H::onLastLog, canShowLog},
    CommandEntry{cmd::UpOneLevel, M::View, "&Up one level", "Shift+Back", "Go to the parent folder", &H::onUpOneLevel, canGoUp},
    CommandEntry{cmd::kAlwaysOnTop, M::View, "&Always On Top", "", "Keep the window above the others", &H::onAlwaysOnTop, always, kCheck, onTop, true},
    CommandEntry{cmd::MyComputer, M::View, "My &Computer", "", "Open the file manager", &H::onMyComputer, always, Mark::None, nullptr, true},

    CommandEntry{cmd::QuarvaSoftware, M::Help, "&Quarva.Software", "", "Visit the product page", &H::onQuarvaSoftware, always},
    CommandEntry{cmd::Help, M::Help, "&Help ", "F1", "Open the help", &H::onHelp, always},
    CommandEntry{cmd::ShowTip, M::Help, "&Show Tip of the day", "", "Show a tip", &H::onShowTip, always},
    CommandEntry{cmd::CheckForUpdates, M::Help, "Check for &Updates", "", "Look for a newer version", &H::onCheckForUpdates, always},
    CommandEntry{cmd::WebSite, M::Help, "Quarva.Software on the &Web", "", "Visit the maker's web site", &H::onWebSite, always, Mark::None, nullptr, true},
    CommandEntry{cmd::About, M::Help, "&About Quarva.Zip Suite", "", "Show the version and copyright", &H::onAbout, always, Mark::None, nullptr, true},
};
// clang-format on

}  // namespace

std::span<const CommandEntry> commandTable() { return kCommands; }

const CommandEntry* findCommand(int id) {
    auto it = std::find_if(kCommands.begin(), kCommands.end(), [id](const CommandEntry& e) { return e.id == id; });
    return it == kCommands.end() ? nullptr : &*it;
}

const char* menuTitle(Menu menu) {
    switch (menu) {
    case Menu::File: return "&File";
    case Menu::Edit: return "&Edit";
    case Menu::Actions: return "&Actions";
    case Menu::Tools: return "&Tools";
    case Menu::Options: return "&Options";
    case Menu::View: return "&View";
    case Menu::Help: return "&Help";
    }
    return "";
}

CommandUi evaluateCommand(int id, const CommandState& state) {
    const CommandEntry* entry = findCommand(id);
    if (!entry) return {};
    CommandUi ui;
    ui.enabled = entry->enabled(state);
    ui.checked = entry->marked && entry->marked(state);
    return ui;
}

}  // namespace quarva::archive
