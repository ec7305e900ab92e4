#pragma once
// The main frame's handling of what the engines report while an operation runs:
// the compression engine's events and the format library's window messages both
// end here and become activity-log lines, busy-dialog texts, entry counts, touched
// names and document entries. Also the frame's abort.

#include <cstdint>
#include <string>

#include "archive/commands/OperationState.h"
#include "archive/commands/OutcomeMessages.h"
#include "archive/core/EngineControl.h"
#include "platform/WindowMessages.h"

namespace quarva::archive {

class CArchiveSession;

class CProgressHandler : public platform::MessageWindow, public IEngineEventSink {
public:
    explicit CProgressHandler(CArchiveSession& session);

    COperationState state;

    // The window the format library reports to.
    platform::WindowHandle window() { return this; }

    // "Cancel" in the busy dialog.
    void abort();

    // --- engine events ---
    void onEngineEntry(int eventId, const EntryValues& values) override;
    void onEngineDeleted(const std::string& name) override;
    void onEngineDiskRequest(std::int16_t disk) override;
    void onEnginePassword(const std::string& archive, std::string& password, std::int16_t& action) override;
    void onEngineSkipped(const std::string& name, std::int16_t reason) override;

    // --- format library messages ---
    std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // The single handlers both sources end in.
    void listedEntry(const EntryValues& values);
    void fileProcessed(const EntryValues& values);
    void fileSkipped(const std::string& name, std::int16_t reason);
    void fileTested(const std::string& name);
    void entryDeleted(const std::string& name);
    void fileError(const FileErrorReport& report);

private:
    void setBusyText(const std::string& text);
    void appendLog(const std::string& text);
    // The host path an extraction wrote for a reported entry name.
    std::string writtenPath(const std::string& name) const;
    void setEngineAbort();

    CArchiveSession& session_;
};

}  // namespace quarva::archive
