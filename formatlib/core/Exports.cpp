// The library's entry points (C linkage, looked up by name). Each one runs the
// operation synchronously and reports through the window; no exception and no
// crash leaves the library: an unexpected failure becomes an error record.

#include <exception>
#include <new>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/core/Operations.h"

namespace qf = quarva::formatlib;
using quarva::platform::WindowHandle;

namespace {

const char* text(const char* s)
{
    return s ? s : "";
}

template <class Fn>
void guarded(WindowHandle window, const char* subject, Fn&& fn)
{
    qf::abortFlag().store(false);
    qf::Reporter rep(window);
    try {
        fn(rep);
    } catch (const std::bad_alloc&) {
        rep.failure("", text(subject), "Not Enough Memory");
    } catch (const std::exception& e) {
        rep.failure("", text(subject), "Unexpected Error occurred", e.what());
    } catch (...) {
        rep.failure("", text(subject), "Unexpected Error occurred");
    }
    rep.finished();
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void ListArchive(const char* archive, const char* filters, WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) { qf::listArchive(text(archive), text(filters), rep); });
}

__attribute__((visibility("default"))) void CompressFile(const char* archive, const char* files, const char* password,
                                                         int hiddenFiles, int deleteAfter, int savePathInfo,
                                                         int subfolders, WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::compressFiles(text(archive), text(files), text(password), hiddenFiles != 0, deleteAfter != 0,
                          savePathInfo != 0, subfolders != 0, rep);
    });
}

__attribute__((visibility("default"))) void ExtractFile(const char* archive, const char* files, const char* destination,
                                                        int overwrite, int useStoredPaths, WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::extractFiles(text(archive), text(files), text(destination), overwrite != 0, useStoredPaths != 0, rep);
    });
}

// Extraction with a password (zip): our addition beside the interface's ExtractFile.
__attribute__((visibility("default"))) void ExtractFileWithPassword(const char* archive, const char* files,
                                                                    const char* destination, int overwrite,
                                                                    int useStoredPaths, const char* password,
                                                                    WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::extractFiles(text(archive), text(files), text(destination), overwrite != 0, useStoredPaths != 0, rep,
                         text(password));
    });
}

__attribute__((visibility("default"))) void DeleteFile(const char* archive, const char* files, WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) { qf::deleteFiles(text(archive), text(files), rep); });
}

__attribute__((visibility("default"))) void TestArchive(const char* archive, const char* files, WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) { qf::testArchive(text(archive), text(files), rep); });
}

__attribute__((visibility("default"))) void ArcToSFX(const char* archive, const char* output, const char* systemFolder,
                                                     WindowHandle window)
{
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::makeSelfExtractor(text(archive), text(output), text(systemFolder), rep);
    });
}

__attribute__((visibility("default"))) void ArcToArc(const char* source, const char* target, int formatCode, int,
                                                     WindowHandle window)
{
    guarded(window, source, [&](qf::Reporter& rep) { qf::convertArchive(text(source), text(target), formatCode, rep); });
}

__attribute__((visibility("default"))) void Encode(const char* source, const char* target, int method, int writeTable,
                                                   WindowHandle window)
{
    guarded(window, source,
            [&](qf::Reporter& rep) { qf::encodeArchive(text(source), text(target), method, writeTable != 0, rep); });
}

__attribute__((visibility("default"))) int FileCount(const char* archive)
{
    try {
        return qf::fileCount(text(archive));
    } catch (...) {
        return -1;
    }
}

// The text-search command's entry: the search text comes from the archive manager's
// window, which calls TurboFindText; this one only checks that the archive opens.
__attribute__((visibility("default"))) void TurboFind(const char* archive)
{
    (void)FileCount(archive);
}

__attribute__((visibility("default"))) void TurboFindText(const char* archive, const char* textToFind, int matchCase,
                                                          WindowHandle window)
{
    guarded(window, archive,
            [&](qf::Reporter& rep) { (void)qf::findText(text(archive), text(textToFind), matchCase != 0, rep); });
}

__attribute__((visibility("default"))) void Associate(WindowHandle window)
{
    guarded(window, "", [&](qf::Reporter& rep) { qf::associate(qf::libraryFolder(), rep); });
}

// Callable from any thread while another entry point runs; that operation stops at
// its next entry or data block.
__attribute__((visibility("default"))) void Abort()
{
    qf::abortFlag().store(true);
}

}  // extern "C"
