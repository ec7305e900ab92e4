#pragma once
// The main frame's handling of what the backends report while an operation runs:
// the compression engine's events and the format library's window messages both
// end here (through their backends) and become activity-log lines, busy-dialog
// texts, entry counts, touched names and document entries. Also the frame's abort.

#include <cstdint>
#include <string>

#include "archive/commands/OperationState.h"
#include "archive/commands/OutcomeMessages.h"
#include "archive/core/ArchiveBackend.h"

namespace quarva::archive {

class CArchiveSession;

class CProgressHandler : public IArchiveEventSink {
public:
    explicit CProgressHandler(CArchiveSession& session);

    COperationState state;

    // "Cancel" in the busy dialog.
    void abort();

    void listedEntry(const EntryValues& values) override;
    void fileProcessed(const EntryValues& values) override;
    void fileSkipped(const std::string& name, std::int16_t reason, const std::string& why) override;
    void fileTested(const std::string& name) override;
    void entryDeleted(const std::string& name) override;
    void fileError(const FileErrorReport& report) override;
    void archiveKindReported(ArchiveKind kind) override;
    DiskAnswer diskRequested(std::int16_t disk) override;
    std::optional<std::string> passwordRequested(const std::string& archive, const std::string& current) override;

private:
    void setBusyText(const std::string& text);
    void appendLog(const std::string& text);
    // The host path an extraction wrote for a reported entry name.
    std::string writtenPath(const std::string& name) const;

    CArchiveSession& session_;
};

}  // namespace quarva::archive
