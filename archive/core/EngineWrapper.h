#pragma once
// Every listing, change and extraction of the open archive, through the backend
// that serves the archive's kind: the compression engine for zip, the format
// library for every other kind. Each operation shows the busy dialog while it
// runs, writes the activity log's header when the backend starts a fresh log, and
// ends with the engine's error message or the offer to see the log.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/ArchiveBackend.h"
#include "archive/core/FormatLibraryBackend.h"
#include "archive/core/ZipEngineBackend.h"
#include "engine/ZipReader.h"

namespace quarva::archive {

class CArchiveSession;

// Every folder f becomes f + separator + wildcard (f + wildcard when f already ends
// with a separator).
std::vector<std::string> withWildcard(const std::vector<std::string>& folders, const std::string& wildcard,
                                      char separator);

class CEngineWrapper {
public:
    CEngineWrapper(CArchiveSession& session, std::unique_ptr<IEngineControl> engine,
                   std::unique_ptr<IFormatLibrary> library);

    // The archive every operation works on (the engine's archive name).
    void setArchiveName(const std::string& path);
    const std::string& archiveName() const { return archiveName_; }
    // The character set the zip engine reads legacy names in ("" automatic). A
    // choice holds for the archive it was made for: another archive name starts
    // automatic again. False when there is no engine or it does not know the set.
    bool setNamesCharset(const std::string& charset);
    std::string namesCharset() const;

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

    // The backend of the running operation, else the one that reads the open
    // archive: the format library for other kinds, and for a zip the engine cannot
    // read (engine::zipReading, decided when the archive is named).
    IArchiveBackend& backend();
    // Stops the running operation of that backend.
    void abort() { backend().abort(); }

    IEngineControl* engine() const { return zip_.control(); }
    IFormatLibrary& library() const { return library_.library(); }

private:
    std::uint16_t add(const AddOptions& options, const std::vector<std::string>& list);
    std::uint16_t extract(const ExtractOptions& options, const std::vector<std::string>& list,
                          const std::string* wildcard);
    std::uint16_t remove(const std::vector<std::string>& list);
    std::uint16_t test(const std::vector<std::string>& list, const std::string* wildcard);

    // One operation: the busy dialog stands while `call` runs the backend; the log
    // starts with `header` when the backend starts fresh logs; then the outcome
    // (none when `question` is null).
    // `changes`: an add or a delete, which the engine does for every zip it can.
    template <typename Call>
    std::uint16_t perform(OperationKind kind, const std::string& header, const char* question, Call call,
                          bool changes = false);
    void finish(std::uint16_t status, const char* question);
    // A zip read by its local headers cannot be changed: says so, true.
    bool refusedWithoutDirectory();

    CArchiveSession& session_;
    CZipEngineBackend zip_;
    CFormatLibraryBackend library_;
    std::string archiveName_;
    engine::ZipReading zipReading_ = engine::ZipReading::Engine;
    IArchiveBackend* running_ = nullptr;  // the backend of the operation under way
};

}  // namespace quarva::archive
