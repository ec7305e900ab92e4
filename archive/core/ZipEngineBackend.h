#pragma once
// The compression engine as an archive backend: each operation sets the engine's
// properties by number, hands it the names one per line, calls its method and
// turns its numbered events into the sink's calls.

#include <memory>
#include <string>
#include <vector>

#include "archive/core/ArchiveBackend.h"
#include "archive/core/EngineControl.h"

namespace quarva::archive {

// The names to process: one per line, each ended by "\r\n".
std::string engineNameList(const std::vector<std::string>& names);

// The engine's events by number, passed on to a sink. Disk and password answers
// go back to the engine as its properties.
class CEngineEvents : public IEngineEventSink {
public:
    CEngineEvents(IArchiveEventSink& sink, IEngineControl& control) : sink_(sink), control_(control) {}

    void onEngineEntry(int eventId, const EntryValues& values) override;
    void onEngineDeleted(const std::string& name) override;
    void onEngineDiskRequest(std::int16_t disk) override;
    void onEnginePassword(const std::string& archive, std::string& password, std::int16_t& action) override;
    void onEngineSkipped(const std::string& name, std::int16_t reason) override;

private:
    IArchiveEventSink& sink_;
    IEngineControl& control_;
    // The entry the engine last started: a skip of it is explained with its
    // method and encryption.
    EntryValues starting_;
};

class CZipEngineBackend : public IArchiveBackend {
public:
    // `control` may be null (a test without an engine): every operation then
    // returns OutcomeCode::LibraryNotLoaded.
    explicit CZipEngineBackend(std::unique_ptr<IEngineControl> control) : control_(std::move(control)) {}

    IEngineControl* control() const { return control_.get(); }
    // The password the engine holds (set by its password prompt), "" without one.
    std::string password() const;

    std::uint16_t list(const std::string& archive, const ListOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t add(const std::string& archive, const std::vector<std::string>& files, const AddOptions& options,
                      IArchiveEventSink& sink) override;
    std::uint16_t extract(const std::string& archive, const std::vector<std::string>& names,
                          const ExtractOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t remove(const std::string& archive, const std::vector<std::string>& names,
                         const DeleteOptions& options, IArchiveEventSink& sink) override;
    std::uint16_t test(const std::string& archive, const std::vector<std::string>& names, const TestOptions& options,
                       IArchiveEventSink& sink) override;
    void abort() override;
    bool startsFreshLog() const override { return control_ != nullptr; }

private:
    // Sets the archive, the names and the spanning flag, then calls `method`
    // with the sink hearing the events.
    std::uint16_t run(int method, std::int16_t argument, const std::string& archive, const std::string& names,
                      bool spanning, IArchiveEventSink& sink);

    std::unique_ptr<IEngineControl> control_;
};

}  // namespace quarva::archive
