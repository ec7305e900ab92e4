#pragma once
// What the user is told when an archive operation ends, and the per-file error
// reports the format library sends while one runs.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "archive/commands/OperationState.h"
#include "archive/core/OutcomeCode.h"
#include "platform/Prompts.h"

namespace quarva::archive {

// The message of a result code; nullopt for codes without one (0 among them).
std::optional<std::string> outcomeMessage(unsigned status);

class COutcomeReporter {
public:
    // `refresh` reopens the archive (the Refresh command); `showLog` opens the
    // activity-log window. Either may be empty.
    COutcomeReporter(platform::Prompts& prompts, std::function<void()> refresh, std::function<void()> showLog)
        : prompts_(prompts), refresh_(std::move(refresh)), showLog_(std::move(showLog)) {}

    // Shows the message of `status`, if it has one: with `offerLog` as a yes/no
    // question that offers the activity log, else as a plain error box. Code 400
    // refreshes the listing first.
    void reportOutcome(unsigned status, bool offerLog);

    // The yes/no question after an operation whose files reported errors; "Yes"
    // opens the log.
    void offerLog(const std::string& question);

    void setRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }
    void setShowLog(std::function<void()> showLog) { showLog_ = std::move(showLog); }

private:
    platform::Prompts& prompts_;
    std::function<void()> refresh_;
    std::function<void()> showLog_;
};

// One per-file error report (window message 10004).
struct FileErrorReport {
    std::string listedName;
    std::string fileName;
    std::string cause;
    std::string details;
};

// The text a report appends to the activity log for the operation kind ("" for
// kinds that log nothing). No line end follows it.
std::string fileErrorText(OperationKind kind, const FileErrorReport& report);

}  // namespace quarva::archive
