#pragma once
// The format library as the archive manager calls it: each call loads the library,
// looks the entry point up, calls it and frees the library again. Every call
// returns the code of OutcomeCode::Ok, LibraryNotLoaded or LibraryNoEntryPoint.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "archive/core/OutcomeCode.h"
#include "platform/WindowMessages.h"

namespace quarva::archive {

class IFormatLibrary {
public:
    virtual ~IFormatLibrary() = default;
    virtual int listArchive(const std::string& archive, const std::string& filters, platform::WindowHandle window) = 0;
    virtual int compressFile(const std::string& archive, const std::string& files, const std::string& password,
                             bool hiddenFiles, bool deleteAfter, bool savePathInfo, bool subfolders,
                             platform::WindowHandle window) = 0;
    virtual int extractFile(const std::string& archive, const std::string& files, const std::string& destination,
                            bool overwrite, bool useStoredPaths, platform::WindowHandle window) = 0;
    virtual int deleteFile(const std::string& archive, const std::string& files, platform::WindowHandle window) = 0;
    virtual int testArchive(const std::string& archive, const std::string& files, platform::WindowHandle window) = 0;
    // The same with a password for encrypted entries; a library without them
    // answers LibraryNoEntryPoint.
    virtual int extractFileWithPassword(const std::string& archive, const std::string& files,
                                        const std::string& destination, bool overwrite, bool useStoredPaths,
                                        const std::string& password, platform::WindowHandle window) {
        (void)archive, (void)files, (void)destination, (void)overwrite, (void)useStoredPaths, (void)password,
            (void)window;
        return code(OutcomeCode::LibraryNoEntryPoint);
    }
    virtual int testArchiveWithPassword(const std::string& archive, const std::string& files,
                                        const std::string& password, platform::WindowHandle window) {
        (void)archive, (void)files, (void)password, (void)window;
        return code(OutcomeCode::LibraryNoEntryPoint);
    }
    virtual int arcToSfx(const std::string& archive, const std::string& output, const std::string& systemFolder,
                         platform::WindowHandle window) = 0;
    // Conversion to another format (the codes of the Save As types) and UU/XX
    // encoding; a library without them answers LibraryNoEntryPoint.
    virtual int arcToArc(const std::string& source, const std::string& target, int formatCode,
                         platform::WindowHandle window) {
        (void)source, (void)target, (void)formatCode, (void)window;
        return code(OutcomeCode::LibraryNoEntryPoint);
    }
    virtual int encode(const std::string& source, const std::string& target, int method, bool writeTable,
                       platform::WindowHandle window) {
        (void)source, (void)target, (void)method, (void)writeTable, (void)window;
        return code(OutcomeCode::LibraryNoEntryPoint);
    }
    // `count` is the library's answer (below 1: no archive).
    virtual int fileCount(const std::string& archive, int& count) = 0;
    virtual int abort() = 0;
    // The archive kind the file's content shows (0 zip, 3 cab, 10 other; below 0
    // when no format recognises it) and the format's name or what the file holds.
    virtual int archiveType(const std::string& archive, int& kind, std::string& found) {
        (void)archive;
        (void)kind;
        (void)found;
        return code(OutcomeCode::LibraryNoEntryPoint);
    }
};

// The library at `libraryPath`, loaded with dlopen for each call.
std::unique_ptr<IFormatLibrary> createFormatLibrary(std::filesystem::path libraryPath);
// The same, with the path asked afresh for every call (it is known only once the
// installed path has been read).
std::unique_ptr<IFormatLibrary> createFormatLibrary(std::function<std::filesystem::path()> libraryPath);

}  // namespace quarva::archive
