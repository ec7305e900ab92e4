#include "archive/core/ZipEngineBackend.h"

#include "archive/core/FormatLibraryCalls.h"
#include "engine/ZipEngine.h"

namespace quarva::archive {

std::string engineNameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) list += n + "\r\n";
    return list;
}

// --- events ---

void CEngineEvents::onEngineEntry(int eventId, const EntryValues& values) {
    switch (eventId) {
    case dispid::kEventStarting: starting_ = values; break;
    case dispid::kEventListed: sink_.listedEntry(values); break;
    case dispid::kEventProcessed: sink_.fileProcessed(values); break;
    case dispid::kEventTested: sink_.fileTested(values.name); break;
    default: break;  // starting, progress, finished: nothing to record
    }
}

void CEngineEvents::onEngineDeleted(const std::string& name) { sink_.entryDeleted(name); }

void CEngineEvents::onEngineSkipped(const std::string& name, std::int16_t reason) {
    const bool started = name == starting_.name;
    sink_.fileSkipped(
        name, reason,
        engine::skipReasonText(reason, started ? starting_.method : 0, started ? starting_.encryption : 0));
}

void CEngineEvents::onEngineDiskRequest(std::int16_t disk) {
    using Answer = IArchiveEventSink::DiskAnswer;
    switch (sink_.diskRequested(disk)) {
    case Answer::Abort: control_.setProperty(dispid::kAbort, true); break;
    case Answer::ContinueErasing: control_.setProperty(dispid::kWipeDisk, true); break;
    case Answer::ContinueKeeping: control_.setProperty(dispid::kWipeDisk, false); break;
    case Answer::Continue: break;
    }
}

void CEngineEvents::onEnginePassword(const std::string& archive, std::string& password, std::int16_t& action) {
    if (auto entered = sink_.passwordRequested(archive, control_.stringProperty(dispid::kPassword))) {
        password = *entered;
        action = 2;  // try again with this password
    }
}

// --- operations ---

std::string CZipEngineBackend::password() const {
    return control_ ? control_->stringProperty(dispid::kPassword) : std::string();
}

void CZipEngineBackend::abort() {
    if (control_) control_->setProperty(dispid::kAbort, true);
}

std::uint16_t CZipEngineBackend::run(int method, std::int16_t argument, const std::string& archive,
                                     const std::string& names, bool spanning, IArchiveEventSink& sink) {
    control_->setProperty(dispid::kArchiveName, archive);
    control_->setProperty(dispid::kNames, names);
    control_->setProperty(dispid::kSpanning, spanning);
    CEngineEvents events(sink, *control_);
    control_->setEventSink(&events);
    auto status = static_cast<std::uint16_t>(control_->invoke(method, argument));
    control_->setEventSink(nullptr);
    return status;
}

std::uint16_t CZipEngineBackend::list(const std::string& archive, const ListOptions& options, IArchiveEventSink& sink) {
    if (!control_) return code(OutcomeCode::LibraryNotLoaded);
    // A pattern matches at the root and at every depth below it.
    std::string names;
    for (const auto& p : options.patterns) names += p + "\r\n" + "*\\" + p + "\r\n";
    if (names.empty()) names = "*\r\n";
    return run(dispid::kList, 0, archive, names, options.spanning, sink);
}

std::uint16_t CZipEngineBackend::add(const std::string& archive, const std::vector<std::string>& files,
                                     const AddOptions& options, IArchiveEventSink& sink) {
    if (!control_) return code(OutcomeCode::LibraryNotLoaded);
    control_->setProperty(dispid::kLevel, options.level);
    control_->setProperty(dispid::kIncludeHidden, options.includeHidden);
    control_->setProperty(dispid::kDeleteAfterAdding, options.deleteAfterZipping);
    control_->setProperty(dispid::kWipeDisk, options.wipeDisk);
    control_->setProperty(dispid::kRecurse, options.includeSubfolders);
    control_->setProperty(dispid::kSavePathInfo, options.savePathInfo);
    return run(dispid::kAdd, options.action, archive, engineNameList(files), options.spanning, sink);
}

std::uint16_t CZipEngineBackend::extract(const std::string& archive, const std::vector<std::string>& names,
                                         const ExtractOptions& options, IArchiveEventSink& sink) {
    if (!control_) return code(OutcomeCode::LibraryNotLoaded);
    control_->setProperty(dispid::kExtractFolder, options.destination);
    control_->setProperty(dispid::kOverwrite, options.overwrite);
    control_->setProperty(dispid::kSavePathInfo, options.useStoredPaths);
    return run(dispid::kExtract, options.mode, archive, engineNameList(names), options.spanning, sink);
}

std::uint16_t CZipEngineBackend::remove(const std::string& archive, const std::vector<std::string>& names,
                                        const DeleteOptions& options, IArchiveEventSink& sink) {
    if (!control_) return code(OutcomeCode::LibraryNotLoaded);
    return run(dispid::kDelete, 0, archive, engineNameList(names), options.spanning, sink);
}

std::uint16_t CZipEngineBackend::test(const std::string& archive, const std::vector<std::string>& names,
                                      const TestOptions& options, IArchiveEventSink& sink) {
    if (!control_) return code(OutcomeCode::LibraryNotLoaded);
    if (options.recurse) control_->setProperty(dispid::kRecurse, true);
    return run(dispid::kTest, 0, archive, engineNameList(names), options.spanning, sink);
}

}  // namespace quarva::archive
