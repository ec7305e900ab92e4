// The library's entry points (C linkage, looked up by name). Each one runs the
// operation synchronously and reports through the window; no exception and no
// crash leaves the library: an unexpected failure becomes an error record.

#include <algorithm>
#include <exception>
#include <filesystem>
#include <new>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/core/Operations.h"
#include "formatlib/formats/Format.h"

namespace qf = quarva::formatlib;
using quarva::platform::WindowHandle;

namespace {

const char* text(const char* s) { return s ? s : ""; }

template <class Fn>
void guarded(WindowHandle window, const char* subject, Fn&& fn) {
    qf::abortFlag().store(false);
    qf::Reporter rep(window);
    qf::ProgressScope progress(&rep);  // the readers' byte counts go to the window
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

__attribute__((visibility("default"))) void ListArchive(const char* archive, const char* filters, WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) { qf::listArchive(text(archive), text(filters), rep); });
}

__attribute__((visibility("default"))) void CompressFile(const char* archive, const char* files, const char* password,
                                                         int hiddenFiles, int deleteAfter, int savePathInfo,
                                                         int subfolders, WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::AddOptions options;
        options.password = text(password);
        options.hiddenFiles = hiddenFiles != 0;
        options.deleteAfter = deleteAfter != 0;
        options.savePathInfo = savePathInfo != 0;
        options.subfolders = subfolders != 0;
        qf::compressFiles(text(archive), text(files), options, rep);
    });
}

__attribute__((visibility("default"))) void ExtractFile(const char* archive, const char* files, const char* destination,
                                                        int overwrite, int useStoredPaths, WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::extractFiles(text(archive), text(files), text(destination), {overwrite != 0, useStoredPaths != 0, {}}, rep);
    });
}

// Extraction with a password (zip): our addition beside the interface's ExtractFile.
__attribute__((visibility("default"))) void ExtractFileWithPassword(const char* archive, const char* files,
                                                                    const char* destination, int overwrite,
                                                                    int useStoredPaths, const char* password,
                                                                    WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) {
        qf::extractFiles(text(archive), text(files), text(destination),
                         {overwrite != 0, useStoredPaths != 0, text(password)}, rep);
    });
}

__attribute__((visibility("default"))) void DeleteFile(const char* archive, const char* files, WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) { qf::deleteFiles(text(archive), text(files), rep); });
}

__attribute__((visibility("default"))) void TestArchive(const char* archive, const char* files, WindowHandle window) {
    guarded(window, archive, [&](qf::Reporter& rep) { qf::testArchive(text(archive), text(files), rep); });
}

// Testing with a password: our addition beside the interface's TestArchive.
__attribute__((visibility("default"))) void TestArchiveWithPassword(const char* archive, const char* files,
                                                                    const char* password, WindowHandle window) {
    guarded(window, archive,
            [&](qf::Reporter& rep) { qf::testArchive(text(archive), text(files), rep, text(password)); });
}

__attribute__((visibility("default"))) void ArcToSFX(const char* archive, const char* output, const char* systemFolder,
                                                     WindowHandle window) {
    guarded(window, archive,
            [&](qf::Reporter& rep) { qf::makeSelfExtractor(text(archive), text(output), text(systemFolder), rep); });
}

__attribute__((visibility("default"))) void ArcToArc(const char* source, const char* target, int formatCode, int,
                                                     WindowHandle window) {
    guarded(window, source,
            [&](qf::Reporter& rep) { qf::convertArchive(text(source), text(target), formatCode, rep); });
}

__attribute__((visibility("default"))) void Encode(const char* source, const char* target, int method, int writeTable,
                                                   WindowHandle window) {
    guarded(window, source,
            [&](qf::Reporter& rep) { qf::encodeArchive(text(source), text(target), method, writeTable != 0, rep); });
}

__attribute__((visibility("default"))) int FileCount(const char* archive) {
    qf::abortFlag().store(false);  // an Abort of an earlier operation does not stop this one
    try {
        return qf::fileCount(text(archive));
    } catch (...) {
        return -1;
    }
}

// The text-search command's entry: the search text comes from the archive manager's
// window, which calls TurboFindText; this one only checks that the archive opens.
__attribute__((visibility("default"))) void TurboFind(const char* archive) { (void)FileCount(archive); }

__attribute__((visibility("default"))) void TurboFindText(const char* archive, const char* textToFind, int matchCase,
                                                          WindowHandle window) {
    guarded(window, archive,
            [&](qf::Reporter& rep) { (void)qf::findText(text(archive), text(textToFind), matchCase != 0, rep); });
}

__attribute__((visibility("default"))) void Associate(WindowHandle window) {
    guarded(window, "", [&](qf::Reporter& rep) { qf::associate(qf::libraryFolder(), rep); });
}

__attribute__((visibility("default"))) int ArchiveType(const char* archive, char* found, int foundSize) {
    auto give = [&](const std::string& s) {
        if (found && foundSize > 0) {
            const std::size_t n = std::min<std::size_t>(s.size(), static_cast<std::size_t>(foundSize - 1));
            std::copy(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n), found);
            found[n] = 0;
        }
    };
    try {
        give("");
        std::error_code ec;
        if (!archive || !std::filesystem::is_regular_file(archive, ec)) return -2;
        const qf::FormatHandler* h = qf::handlerForContent(archive);
        if (!h) {
            give(qf::describeContent(archive));
            return -1;
        }
        give(h->name());
        if (h == &qf::zipHandler() || h == &qf::jarHandler() || h == &qf::sfxHandler()) return qf::kKindZip;
        return h == &qf::cabHandler() ? qf::kKindCab : qf::kKindOther;
    } catch (...) {
        return -2;
    }
}

// Callable from any thread while another entry point runs; that operation stops at
// its next entry or data block.
__attribute__((visibility("default"))) void Abort() { qf::abortFlag().store(true); }

}  // extern "C"
