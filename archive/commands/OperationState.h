#pragma once
// The main frame's state of the running (or last) archive operation, which the
// commands set before an operation and the progress handlers read and update.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/commands/BusyDialog.h"

namespace quarva::archive {

enum class OperationKind : int {
    CopyToClipboard = 100,
    Extract = 105,
    Delete = 106,
    List = 107,
    Add = 108,
    View = 109,
    Test = 110,
    DragOut = 111,
};

struct COperationState {
    OperationKind kind = OperationKind::List;
    std::uint64_t entryCount = 0;
    std::uint64_t totalSize = 0;
    std::vector<std::string> touchedNames;
    std::vector<std::string> filterPatterns;
    std::string filterText;     // the text last applied
    std::string filterBoxText;  // what the filter box shows now
    // The filter box's list, in order.
    std::vector<std::string> filterEntries = {"*.*",   "*.bmp", "*.c",    "*.cpp", "*.doc", "*.exe", "*.gif", "*.h",
                                              "*.htm", "*.ico", "*.java", "*.jpg", "*.mdb", "*.txt", "*.xls"};
    bool errorSeen = false;
    std::optional<std::int16_t> lastDisk;  // none until the first write prompt
    std::string installProgramPath;
    std::string tempFolder;  // the system temporary folder
    // Set by the wrapper for the running add / extraction.
    bool addKeepsPaths = true;
    std::string extractDestination;
    bool extractUsesPaths = true;
    IBusyDialog* busy = nullptr;  // the only pointer to the busy dialog
};

// The busy-dialog protocol: created and put in the frame's slot for the length of
// an operation, then taken out of the slot and destroyed.
class CBusyScope {
public:
    // `factory` may be null (nothing is shown).
    CBusyScope(IBusyDialogFactory* factory, COperationState& state, std::function<void()> onCancel,
               const std::string& phase = {});
    ~CBusyScope();
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;
    IBusyDialog* dialog() const { return dialog_.get(); }

private:
    COperationState& state_;
    std::unique_ptr<IBusyDialog> dialog_;
    IBusyDialog* previous_ = nullptr;
};

}  // namespace quarva::archive
