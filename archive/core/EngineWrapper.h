#pragma once
// Every listing, change and extraction of the open archive: through the
// compression engine for archive kind 0, through the format library for every
// other kind. Each operation shows the busy dialog while it runs, writes the
// activity log's header, and ends with the engine's error message or the offer to
// see the log.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/commands/OperationState.h"
#include "archive/core/EngineControl.h"
#include "archive/core/FormatLibraryCalls.h"

namespace quarva::archive {

class CArchiveSession;

struct AddOptions {
    std::int16_t action = 0;  // 0 add and replace, 1 freshen, 2 update and add
    std::int16_t level = 5;
    bool includeHidden = false;
    bool deleteAfterZipping = false;
    bool includeSubfolders = true;
    bool savePathInfo = true;
    bool spanning = false;
    bool wipeDisk = false;
};

struct ExtractOptions {
    std::string destination;
    std::int16_t overwrite = 1;  // 0 never, 1 always, 2 replace read-only files too
    bool useStoredPaths = true;
    std::int16_t mode = 0;
    // Copies for the clipboard, for dragging out and for viewing run under their
    // own kind, so their files are neither logged nor recorded for deletion.
    OperationKind kind = OperationKind::Extract;
};

// The names to process: one per line, each ended by "\r\n" (the engine).
std::string engineNameList(const std::vector<std::string>& names);
// Each name in double quotes, joined by "|" (the format library).
std::string libraryNameList(const std::vector<std::string>& names);
// Every folder f becomes f + separator + wildcard (f + wildcard when f already ends
// with a separator).
std::vector<std::string> withWildcard(const std::vector<std::string>& folders, const std::string& wildcard,
                                      char separator);

class CEngineWrapper {
public:
    CEngineWrapper(CArchiveSession& session, std::unique_ptr<IEngineControl> engine,
                   std::unique_ptr<IFormatLibrary> library);
    ~CEngineWrapper();

    // The archive every operation works on (the engine's archive name).
    void setArchiveName(const std::string& path);
    const std::string& archiveName() const { return archiveName_; }

    std::uint16_t listArchive(const std::string& path, const std::vector<std::string>& filters);
    std::uint16_t addFiles(const AddOptions& options, const std::vector<std::string>& files);
    std::uint16_t addFolders(const AddOptions& options, const std::vector<std::string>& folders,
                             const std::string& wildcard);
    std::uint16_t extractFiles(const ExtractOptions& options, const std::vector<std::string>& entries);
    std::uint16_t extractByWildcard(const ExtractOptions& options, const std::vector<std::string>& folders,
                                    const std::string& wildcard);
    std::uint16_t deleteFiles(const std::vector<std::string>& entries);
    std::uint16_t deleteByWildcard(const std::vector<std::string>& folders, const std::string& wildcard);
    std::uint16_t testFiles(const std::vector<std::string>& entries);
    std::uint16_t testByWildcard(const std::vector<std::string>& folders, const std::string& wildcard);

    IEngineControl* engine() const { return engine_.get(); }
    IFormatLibrary& library() const { return *library_; }
    bool usesEngine() const;

private:
    std::uint16_t add(const AddOptions& options, const std::vector<std::string>& list);
    std::uint16_t extract(const ExtractOptions& options, const std::vector<std::string>& list,
                          const std::string* wildcard);
    std::uint16_t remove(const std::vector<std::string>& list);
    std::uint16_t test(const std::vector<std::string>& list, const std::string* wildcard);
    void finish(std::uint16_t status, bool engineRan, const char* question);
    void setEngineCommon();

    CArchiveSession& session_;
    std::unique_ptr<IEngineControl> engine_;
    std::unique_ptr<IFormatLibrary> library_;
    std::string archiveName_;
};

}  // namespace quarva::archive
