#include "archive/core/FormatLibraryCalls.h"

#include "formatlib/FormatLibrary.h"
#include "formatlib/host/FormatLibraryHost.h"

namespace quarva::archive {

namespace {

class DynamicFormatLibrary : public IFormatLibrary {
public:
    explicit DynamicFormatLibrary(std::function<std::filesystem::path()> path) : path_(std::move(path)) {}

    int listArchive(const std::string& archive, const std::string& filters, platform::WindowHandle window) override {
        return call<QzListArchiveFn>("ListArchive", [&](auto fn) { fn(archive.c_str(), filters.c_str(), window); });
    }
    int compressFile(const std::string& archive, const std::string& files, const std::string& password,
                     bool hiddenFiles, bool deleteAfter, bool savePathInfo, bool subfolders,
                     platform::WindowHandle window) override {
        return call<QzCompressFileFn>("CompressFile", [&](auto fn) {
            fn(archive.c_str(), files.c_str(), password.c_str(), hiddenFiles, deleteAfter, savePathInfo, subfolders,
               window);
        });
    }
    int extractFile(const std::string& archive, const std::string& files, const std::string& destination,
                    bool overwrite, bool useStoredPaths, platform::WindowHandle window) override {
        return call<QzExtractFileFn>("ExtractFile", [&](auto fn) {
            fn(archive.c_str(), files.c_str(), destination.c_str(), overwrite, useStoredPaths, window);
        });
    }
    int deleteFile(const std::string& archive, const std::string& files, platform::WindowHandle window) override {
        return call<QzDeleteFileFn>("DeleteFile", [&](auto fn) { fn(archive.c_str(), files.c_str(), window); });
    }
    int testArchive(const std::string& archive, const std::string& files, platform::WindowHandle window) override {
        return call<QzTestArchiveFn>("TestArchive", [&](auto fn) { fn(archive.c_str(), files.c_str(), window); });
    }
    int extractFileWithPassword(const std::string& archive, const std::string& files, const std::string& destination,
                                bool overwrite, bool useStoredPaths, const std::string& password,
                                platform::WindowHandle window) override {
        return call<QzExtractFileWithPasswordFn>("ExtractFileWithPassword", [&](auto fn) {
            fn(archive.c_str(), files.c_str(), destination.c_str(), overwrite, useStoredPaths, password.c_str(),
               window);
        });
    }
    int testArchiveWithPassword(const std::string& archive, const std::string& files, const std::string& password,
                                platform::WindowHandle window) override {
        return call<QzTestArchiveWithPasswordFn>(
            "TestArchiveWithPassword", [&](auto fn) { fn(archive.c_str(), files.c_str(), password.c_str(), window); });
    }
    int arcToSfx(const std::string& archive, const std::string& output, const std::string& systemFolder,
                 platform::WindowHandle window) override {
        return call<QzArcToSFXFn>("ArcToSFX",
                                  [&](auto fn) { fn(archive.c_str(), output.c_str(), systemFolder.c_str(), window); });
    }
    int arcToArc(const std::string& source, const std::string& target, int formatCode,
                 platform::WindowHandle window) override {
        return call<QzArcToArcFn>("ArcToArc",
                                  [&](auto fn) { fn(source.c_str(), target.c_str(), formatCode, 0, window); });
    }
    int encode(const std::string& source, const std::string& target, int method, bool writeTable,
               platform::WindowHandle window) override {
        return call<QzEncodeFn>("Encode",
                                [&](auto fn) { fn(source.c_str(), target.c_str(), method, writeTable, window); });
    }
    int fileCount(const std::string& archive, int& count) override {
        return call<QzFileCountFn>("FileCount", [&](auto fn) { count = fn(archive.c_str()); });
    }
    int archiveType(const std::string& archive, int& kind, std::string& found) override {
        return call<QzArchiveTypeFn>("ArchiveType", [&](auto fn) {
            char text[512] = "";
            kind = fn(archive.c_str(), text, sizeof text);
            found = text;
        });
    }
    int abort() override {
        return call<QzAbortFn>("Abort", [](auto fn) { fn(); });
    }

private:
    template <typename Fn, typename Body>
    int call(const char* name, Body body) {
        formatlib::LoadedLibrary library(path_());
        if (!library.loaded()) return code(OutcomeCode::LibraryNotLoaded);
        Fn fn = library.entry<Fn>(name);
        if (!fn) return code(OutcomeCode::LibraryNoEntryPoint);
        body(fn);
        return code(OutcomeCode::Ok);
    }

    std::function<std::filesystem::path()> path_;
};

}  // namespace

std::unique_ptr<IFormatLibrary> createFormatLibrary(std::filesystem::path libraryPath) {
    return std::make_unique<DynamicFormatLibrary>([path = std::move(libraryPath)] { return path; });
}

std::unique_ptr<IFormatLibrary> createFormatLibrary(std::function<std::filesystem::path()> libraryPath) {
    return std::make_unique<DynamicFormatLibrary>(std::move(libraryPath));
}

}  // namespace quarva::archive
