#pragma once
// One interface for both engines that serve an archive: the compression engine
// for zip and the format library for everything else. Each operation takes the
// archive, its options and the sink that hears what happens to each file while it
// runs; what is special to an engine (its properties, its name-list shape, its
// event numbers or window messages) stays inside its backend.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/commands/OperationState.h"
#include "archive/commands/OutcomeMessages.h"
#include "archive/core/ArchiveFlags.h"
#include "archive/core/OutcomeCode.h"
#include "archive/core/ZipFileInfo.h"

namespace quarva::archive {

// What a backend reports while an operation runs (the main frame's progress
// handler in the program).
class IArchiveEventSink {
public:
    virtual ~IArchiveEventSink() = default;
    virtual void listedEntry(const EntryValues& values) = 0;
    // Added or extracted: `values.done` equals the size once the file is complete.
    virtual void fileProcessed(const EntryValues& values) = 0;
    // `why`: the reason in words ("unsupported compression method: PPMd"), empty when
    // the backend gives none.
    virtual void fileSkipped(const std::string& name, std::int16_t reason, const std::string& why) = 0;
    virtual void fileTested(const std::string& name) = 0;
    virtual void entryDeleted(const std::string& name) = 0;
    virtual void fileError(const FileErrorReport& report) = 0;
    // The archive's content showed another kind than its name (format library).
    virtual void archiveKindReported(ArchiveKind kind) = 0;

    // A spanned set needs disk `disk` (0: the last one).
    enum class DiskAnswer { Continue, ContinueErasing, ContinueKeeping, Abort };
    virtual DiskAnswer diskRequested(std::int16_t disk) = 0;
    // The password for `archive`, or nullopt to give up; `current` is the one set.
    virtual std::optional<std::string> passwordRequested(const std::string& archive, const std::string& current) = 0;
};

struct ListOptions {
    // Name patterns to list; empty lists every entry at every depth.
    std::vector<std::string> patterns;
    bool spanning = false;  // the archive is on a removable drive
};

struct AddOptions {
    std::int16_t action = 0;  // 0 add and replace, 1 freshen, 2 update and add
    std::int16_t level = 5;
    bool includeHidden = false;
    bool deleteAfterZipping = false;
    bool includeSubfolders = true;
    bool savePathInfo = true;
    bool spanning = false;
    bool wipeDisk = false;
    std::string password;  // filled by the wrapper: the compression engine's current one
};

struct ExtractOptions {
    std::string destination;
    std::int16_t overwrite = 1;  // 0 never, 1 always, 2 replace read-only files too
    bool useStoredPaths = true;
    std::int16_t mode = 0;
    // Copies for the clipboard, for dragging out and for viewing run under their
    // own kind, so their files are neither logged nor recorded for deletion.
    OperationKind kind = OperationKind::Extract;
    bool spanning = false;  // filled by the wrapper from the removable-drive flag
};

struct DeleteOptions {
    bool spanning = false;
};

struct TestOptions {
    bool recurse = false;  // the names are folders with a wildcard
    bool spanning = false;
};

// Every call returns the 16-bit status (OutcomeCode): 0, an engine's error code, or
// OutcomeCode::LibraryNotLoaded / LibraryNoEntryPoint when the engine cannot be
// reached.
class IReadOnlyArchiveBackend {
public:
    virtual ~IReadOnlyArchiveBackend() = default;
    virtual std::uint16_t list(const std::string& archive, const ListOptions& options, IArchiveEventSink& sink) = 0;
    virtual std::uint16_t extract(const std::string& archive, const std::vector<std::string>& names,
                                  const ExtractOptions& options, IArchiveEventSink& sink) = 0;
    virtual std::uint16_t test(const std::string& archive, const std::vector<std::string>& names,
                               const TestOptions& options, IArchiveEventSink& sink) = 0;
    // Stops the running operation; may be called from another thread.
    virtual void abort() = 0;
    // True when an operation starts a fresh activity log with its header lines;
    // false when the log collects what the engine reports across operations.
    virtual bool startsFreshLog() const = 0;
};

class IArchiveBackend : public IReadOnlyArchiveBackend {
public:
    virtual std::uint16_t add(const std::string& archive, const std::vector<std::string>& files,
                              const AddOptions& options, IArchiveEventSink& sink) = 0;
    virtual std::uint16_t remove(const std::string& archive, const std::vector<std::string>& names,
                                 const DeleteOptions& options, IArchiveEventSink& sink) = 0;
};

}  // namespace quarva::archive
