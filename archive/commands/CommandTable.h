#pragma once
// The main frame's commands as data: number, menu, text, keys, handler and the
// rules that enable and mark each one. The window builds its menu bar from this
// table and asks it in its update-UI handler; nothing here knows the window.

#include <cstdint>
#include <span>
#include <string>

#include "archive/core/ArchiveFlags.h"

namespace quarva::archive {

namespace cmd {
// Menu commands; the fixed numbers below come after them.
enum : int {
    NewArchive = 2001,
    OpenArchive,
    SaveAs,
    CloseArchive,
    Properties,
    CreateShortcut,
    OpenContainingFolder,
    AddToFavorites,
    MoveArchive,
    CopyArchive,
    RenameArchive,
    DeleteArchive,
    Print,
    MailArchive,
    Exit,
    Copy,
    Paste,
    SelectAll,
    InvertSelection,
    Add,
    Delete,
    Extract,
    View,
    MakeExe,
    EncodeArchive,
    Comment,
    Install,
    FixZip,
    TestSelected,
    UltraTextSearch,
    FindInZip,
    QuarvaSplit,
    VirusScan,
    Configuration,
    Password,
    HideInTray,
    ClassicView,
    ExplorerView,
    StatusBar,
    LargeIcons,
    SmallIcons,
    ListStyle,
    Details,
    SortByName,
    SortByType,
    SortByDate,
    SortBySize,
    SortByRatio,
    SortByPackedSize,
    SortByPath,
    Refresh,
    LastLog,
    UpOneLevel,
    MyComputer,
    QuarvaSoftware,
    Help,
    ShowTip,
    CheckForUpdates,
    WebSite,
    About,
};
// Commands with fixed numbers.
constexpr int kAlwaysOnTop = 112;
constexpr int kToggleViewKey = 118;  // Ctrl+Tab
constexpr int kViewerFirst = 119, kOpenWith = 137, kOpenVerb = 138, kViewerLast = 139;
constexpr int kFocusTree = 32870, kFocusList = 32871, kToggleViewButton = 32881;
constexpr int kArrangeIcons = 59412;
// The archives behind the dynamic commands (recent archives).
constexpr int kArchiveFirst = 33000, kArchiveLast = 33200;
// The window toolkit takes item numbers below 32768: the numbers above are moved
// down by 30000 where they meet it.
constexpr int toWindowId(int command) { return command > 32767 ? command - 30000 : command; }
constexpr int fromWindowId(int id) { return id >= 2800 && id < 30000 ? id + 30000 : id; }
}  // namespace cmd

enum class ListStyle { LargeIcons, SmallIcons, List, Details };

// What the enable rules look at.
struct CommandState {
    bool open = false;                    // the document has an archive open
    std::uint64_t entries = 0;            // entry count
    std::size_t selected = 0;             // selected list items
    ArchiveKind kind = ArchiveKind::Zip;  // the application's archive kind
    std::string extension;                // the archive's extension, lower-cased, without "."
    bool sfxCapable = false;              // the document's self-extractor flag
    bool modifiable = true;               // 0 for "uue" and "xxe"
    bool installer = false;               // the document's installable flag
    bool classicView = false;             // the flat-view flag
    bool treeAtFirstRoot = true;          // the tree's selection is its first root item
    bool clipboardHasFiles = false;
    bool activityLogEmpty = true;
    ListStyle listStyle = ListStyle::Details;
    int sortColumn = 0;
    bool alwaysOnTop = false;
    bool statusBarShown = true;
};

// The frame's handlers; one per menu command.
class ICommandHandlers {
public:
    virtual ~ICommandHandlers() = default;
    virtual void onNewArchive() = 0;
    virtual void onOpenArchive() = 0;
    virtual void onSaveAs() = 0;
    virtual void onCloseArchive() = 0;
    virtual void onProperties() = 0;
    virtual void onCreateShortcut() = 0;
    virtual void onOpenContainingFolder() = 0;
    virtual void onAddToFavorites() = 0;
    virtual void onMoveArchive() = 0;
    virtual void onCopyArchive() = 0;
    virtual void onRenameArchive() = 0;
    virtual void onDeleteArchive() = 0;
    virtual void onPrint() = 0;
    virtual void onMailArchive() = 0;
    virtual void onExit() = 0;
    virtual void onCopy() = 0;
    virtual void onPaste() = 0;
    virtual void onSelectAll() = 0;
    virtual void onInvertSelection() = 0;
    virtual void onAdd() = 0;
    virtual void onDelete() = 0;
    virtual void onExtract() = 0;
    virtual void onView() = 0;
    virtual void onMakeExe() = 0;
    virtual void onEncodeArchive() = 0;
    virtual void onComment() = 0;
    virtual void onInstall() = 0;
    virtual void onFixZip() = 0;
    virtual void onTestSelected() = 0;
    virtual void onUltraTextSearch() = 0;
    virtual void onFindInZip() = 0;
    virtual void onQuarvaSplit() = 0;
    virtual void onVirusScan() = 0;
    virtual void onConfiguration() = 0;
    virtual void onPassword() = 0;
    virtual void onHideInTray() = 0;
    virtual void onClassicView() = 0;
    virtual void onExplorerView() = 0;
    virtual void onStatusBar() = 0;
    virtual void onLargeIcons() = 0;
    virtual void onSmallIcons() = 0;
    virtual void onListStyle() = 0;
    virtual void onDetails() = 0;
    virtual void onSortByName() = 0;
    virtual void onSortByType() = 0;
    virtual void onSortByDate() = 0;
    virtual void onSortBySize() = 0;
    virtual void onSortByRatio() = 0;
    virtual void onSortByPackedSize() = 0;
    virtual void onSortByPath() = 0;
    virtual void onRefresh() = 0;
    virtual void onLastLog() = 0;
    virtual void onUpOneLevel() = 0;
    virtual void onMyComputer() = 0;
    virtual void onQuarvaSoftware() = 0;
    virtual void onHelp() = 0;
    virtual void onShowTip() = 0;
    virtual void onCheckForUpdates() = 0;
    virtual void onWebSite() = 0;
    virtual void onAbout() = 0;
    virtual void onAlwaysOnTop() = 0;
};

enum class Menu { File, Edit, Actions, Tools, Options, View, Help };
enum class Mark { None, Check, Radio };

struct CommandEntry {
    int id;
    Menu menu;
    const char* text;    // the menu text, "&" before the mnemonic
    const char* keys;    // accelerator as the menu shows it ("" for none)
    const char* prompt;  // the status-bar prompt
    void (ICommandHandlers::*handler)();
    bool (*enabled)(const CommandState&);
    Mark mark = Mark::None;
    bool (*marked)(const CommandState&) = nullptr;
    bool separatorBefore = false;
};

// Every menu command, in menu order.
std::span<const CommandEntry> commandTable();
const CommandEntry* findCommand(int id);
// The menus' titles, in order.
const char* menuTitle(Menu menu);

struct CommandUi {
    bool enabled = false;
    bool checked = false;
};
// The enable rule and mark of a command in a state; unknown numbers are disabled.
CommandUi evaluateCommand(int id, const CommandState& state);

}  // namespace quarva::archive
