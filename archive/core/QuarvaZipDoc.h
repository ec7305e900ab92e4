#pragma once
// The single document of the archive manager: at most one archive is open. It owns
// the archive's entries and folder tree and the engine wrapper that runs every
// operation, and sets the application-wide archive flags when an archive is opened
// or created.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/ArchiveEntries.h"
#include "archive/core/EngineWrapper.h"

namespace quarva::archive {

class CArchiveSession;

class CQuarvaZipDoc {
public:
    CQuarvaZipDoc(CArchiveSession& session, std::unique_ptr<IEngineControl> engine,
                  std::unique_ptr<IFormatLibrary> library);

    // Closes the open archive, lists the new one and builds its tree. True when the
    // archive is open afterwards (its listing succeeded).
    bool openArchive(const std::string& fullPath, const std::string& fileName);
    // True when an archive of this type may be created; the file itself is written
    // by the first add.
    bool createArchive(const std::string& fullPath, const std::string& fileName);
    // The framework's open: an existing path is opened; a missing one leaves the
    // recent paths. Always true.
    bool frameworkOpen(const std::string& path);
    // The main frame's close: entries, tree, views, path and flags cleared.
    void closeArchive();
    // The command-line actions take a path as the document's own without listing it.
    void takePath(const std::string& fullPath);

    // The document's side of listing: status texts, listing, tree, title, recent
    // list and folder rules. False when the listing failed (nothing stays open).
    bool listAndPopulate();

    // Commands on the open archive.
    bool openInSplitter();
    bool scanForViruses();
    // xdg-email with the archive attached; a clear message when that cannot start.
    bool sendByMail();

    std::string archiveFileName;
    std::string archivePath;
    bool open = false;
    bool installer = false;  // the archive holds a setup program

    CArchiveEntries& entries() { return entries_; }
    const CArchiveEntries& entries() const { return entries_; }
    bool addEntry(const EntryValues& values);  // true when it replaced an entry
    CEngineWrapper& wrapper() { return *wrapper_; }

private:
    void setRemovableFlag();
    void applyFolderRules();

    CArchiveSession& session_;
    CArchiveEntries entries_;
    std::unique_ptr<CEngineWrapper> wrapper_;
};

}  // namespace quarva::archive
