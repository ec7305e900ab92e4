#pragma once
// What the archive logic asks of the main window. The wx frame implements it; a run
// without a window passes none (every call then has its quiet default), and tests
// use a recording double.

#include <optional>
#include <string>
#include <vector>

#include "archive/core/ShowState.h"

namespace quarva::archive {

class IMainFrameActions {
public:
    virtual ~IMainFrameActions() = default;

    // --- display ---
    virtual void setStatusText(const std::string& /*pane0*/) {}
    // Pane 1 from the frame's entry count and total size.
    virtual void refreshTotals() {}
    virtual void setTitle(const std::string& /*title*/) {}
    // The filter box: enabled with its first item selected, or disabled.
    virtual void enableFilterBox(bool /*enabled*/) {}
    // A filter text the user applied joins the box's list.
    virtual void addFilterEntry(const std::string& /*text*/) {}
    // The document's tree was rebuilt: fill the tree view (or the flat list) and show the root.
    virtual void showArchiveTree() {}
    // The archive was closed: empty the tree view and the file list.
    virtual void clearViews() {}
    // The framework's recent-file menu: the path moves to its top.
    virtual void addToRecentMenu(const std::string& /*path*/) {}
    virtual void removeFromRecentMenu(const std::string& /*path*/) {}
    // "View Last Activity Log" on the current log text.
    virtual void showActivityLog() {}

    // --- commands the command-line actions start ---
    // The main window appears with the given show state.
    virtual void showWindow(ShowState /*showState*/) {}
    // The Add command with prefilled lists (the add dialog opens).
    virtual void startAddCommand(const std::vector<std::string>& /*folders*/,
                                 const std::vector<std::string>& /*files*/) {}
    // The Extract command on the open archive (the extract dialog opens).
    virtual void startExtractCommand() {}
    // The file list lets go of the shell's image lists before the program ends.
    virtual void releaseSystemImageLists() {}
    // Runs the Find in zip dialog modally; false when this build has none.
    virtual bool runFindInZip() { return false; }
    // The write prompt of disk spanning: nullopt on "Cancel", else the state of
    // "&Erase Contents of disk". nullopt from the default means "not handled here":
    // the caller then asks through the prompts.
    virtual bool hasNewDiskDialog() const { return false; }
    virtual std::optional<bool> askNewDisk(int /*disk*/) { return std::nullopt; }
};

}  // namespace quarva::archive
