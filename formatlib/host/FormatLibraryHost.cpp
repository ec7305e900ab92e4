#include "formatlib/host/FormatLibraryHost.h"

#include <dlfcn.h>

namespace quarva::formatlib {

std::filesystem::path libraryPath(const std::filesystem::path& installedFolder) {
    return installedFolder / kLibraryFileName;
}

LoadedLibrary::LoadedLibrary(const std::filesystem::path& path) {
    // Only the given path: never a library found on the search path under the same name.
    std::string p = path.string();
    if (p.find('/') == std::string::npos) p = "./" + p;
    handle_ = dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = dlerror();
        error_ = e ? e : "cannot load library";
    }
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) dlclose(handle_);
}

void* LoadedLibrary::symbol(const char* name) const {
    if (!handle_) return nullptr;
    return dlsym(handle_, name);
}

int callFileCount(const std::filesystem::path& library, const std::string& archive, int* count) {
    LoadedLibrary lib(library);
    if (!lib.loaded()) return kStatusNotLoaded;
    auto fn = lib.entry<QzFileCountFn>("FileCount");
    if (!fn) return kStatusNoEntryPoint;
    int n = fn(archive.c_str());
    if (count) *count = n;
    return kStatusOk;
}

int callArchiveType(const std::filesystem::path& library, const std::string& archive, int* kind, std::string* found) {
    LoadedLibrary lib(library);
    if (!lib.loaded()) return kStatusNotLoaded;
    auto fn = lib.entry<QzArchiveTypeFn>("ArchiveType");
    if (!fn) return kStatusNoEntryPoint;
    char text[512];
    const int k = fn(archive.c_str(), text, sizeof text);
    if (kind) *kind = k;
    if (found) *found = text;
    return kStatusOk;
}

}  // namespace quarva::formatlib
