#pragma once
// The host side of the format library: load libqzip32.so by path, look an entry
// point up by name, call it, free the library. The archive manager, the shell
// extension and qzip all go through this.
//
//   int status = quarva::formatlib::callEntry<QzListArchiveFn>(lib, "ListArchive",
//                                                              archive, "*.*", window);
//   // 0 called, 1000 the library did not load, 1010 the entry point is missing

#include <filesystem>
#include <string>
#include <utility>

#include "formatlib/FormatLibrary.h"

namespace quarva::formatlib {

// The library's file name in the installed folder.
inline constexpr const char* kLibraryFileName = "libqzip32.so";
std::filesystem::path libraryPath(const std::filesystem::path& installedFolder);

// One load of the library; freed when the object goes away.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::filesystem::path& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why the load failed (the loader's own text), empty when loaded.
    const std::string& loadError() const { return error_; }
    void* symbol(const char* name) const;
    template <class Fn>
    Fn entry(const char* name) const {
        return reinterpret_cast<Fn>(symbol(name));
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// Load, look up, call with args, free. Returns kStatusOk, kStatusNotLoaded or
// kStatusNoEntryPoint. A non-void result of the entry point goes to *result when given.
template <class Fn, class... Args>
int callEntry(const std::filesystem::path& library, const char* name, Args&&... args) {
    LoadedLibrary lib(library);
    if (!lib.loaded()) return kStatusNotLoaded;
    Fn fn = lib.entry<Fn>(name);
    if (!fn) return kStatusNoEntryPoint;
    fn(std::forward<Args>(args)...);
    return kStatusOk;
}

// ArchiveType through the loader: the kind (or -1/-2) in *kind and the format's name
// or what the file holds in *found (left alone unless status is 0).
int callArchiveType(const std::filesystem::path& library, const std::string& archive, int* kind, std::string* found);

// FileCount through the loader: the count in *count (left alone unless status is 0).
int callFileCount(const std::filesystem::path& library, const std::string& archive, int* count);

}  // namespace quarva::formatlib
