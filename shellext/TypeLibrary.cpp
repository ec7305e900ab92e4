#include "shellext/TypeLibrary.h"

#include <filesystem>

#include "shellext/com/Guids.h"

using namespace quarva::com;

namespace quarva::shellext {

using platform::Hive;
using platform::kErrorFileNotFound;
using platform::kErrorSuccess;

const TypeLibDescription& typeLibrary() {
    static const TypeLibDescription lib = {
        &LIBID_ZIPLib,
        "ZIPLib",
        "Zip 1.0 Type Library",
        1,
        0,
        {{
            {"ZipContext", &CLSID_ZipContext, "IZipContext", &IID_IZipContext},
            {"ZipDrag", &CLSID_ZipDrag, "IZipDrag", &IID_IZipDrag},
            {"ZipDrop", &CLSID_ZipDrop, "IZipDrop", &IID_IZipDrop},
            {"ZipSearch", &CLSID_ZipSearch, "IZipSearch", &IID_IZipSearch},
            {"ZipInfo", &CLSID_ZipInfo, "IZipInfo", &IID_IZipInfo},
            {"ZipProp", &CLSID_ZipProp, "IZipProp", &IID_IZipProp},
        }},
    };
    return lib;
}

namespace {

std::string versionText(const TypeLibDescription& lib) {
    return std::to_string(lib.major) + "." + std::to_string(lib.minor);
}

std::string libKey(const TypeLibDescription& lib) { return "TypeLib\\" + guidToString(*lib.libid); }

// This platform's name for the module kind, where the type library's path is kept.
constexpr const char* kSysKind = "linux";

bool isEmptyKey(const platform::Registry& registry, const std::string& key) {
    return registry.keyExists(Hive::ClassesRoot, key) && registry.subkeys(Hive::ClassesRoot, key).empty() &&
           registry.values(Hive::ClassesRoot, key).empty();
}

}  // namespace

long registerTypeLibrary(platform::Registry& registry, const std::string& modulePath) {
    const TypeLibDescription& lib = typeLibrary();
    const std::string libid = guidToString(*lib.libid);
    const std::string version = libKey(lib) + "\\" + versionText(lib);
    const std::string helpDir = std::filesystem::path(modulePath).parent_path().string();
    const std::string psClsid = guidToString(CLSID_PSOAInterface);

    // Remove an earlier registration of this version first, so that one set remains.
    if (long rc = registry.deleteKey(Hive::ClassesRoot, version); rc != kErrorSuccess && rc != kErrorFileNotFound)
        return rc;
    struct Write {
        std::string key, name, value;
    };
    std::vector<Write> writes = {
        {version, "", lib.helpString},
        {version + "\\0\\" + kSysKind, "", modulePath},
        {version + "\\FLAGS", "", "0"},
        {version + "\\HELPDIR", "", helpDir},
    };
    // Every dual interface the library describes is registered with it.
    for (const auto& cls : lib.classes) {
        const std::string key = "Interface\\" + guidToString(*cls.iid);
        writes.push_back({key, "", cls.interfaceName});
        writes.push_back({key + "\\ProxyStubClsid", "", psClsid});
        writes.push_back({key + "\\ProxyStubClsid32", "", psClsid});
        writes.push_back({key + "\\TypeLib", "", libid});
        writes.push_back({key + "\\TypeLib", "Version", versionText(lib)});
    }
    for (const auto& w : writes)
        if (long rc = registry.writeString(Hive::ClassesRoot, w.key, w.name, w.value); rc != kErrorSuccess) return rc;
    return kErrorSuccess;
}

long unregisterTypeLibrary(platform::Registry& registry) {
    const TypeLibDescription& lib = typeLibrary();
    const std::string version = libKey(lib) + "\\" + versionText(lib);
    if (long rc = registry.deleteKey(Hive::ClassesRoot, version); rc != kErrorSuccess && rc != kErrorFileNotFound)
        return rc;
    // The library's key goes with its last version.
    if (isEmptyKey(registry, libKey(lib)))
        if (long rc = registry.deleteKey(Hive::ClassesRoot, libKey(lib));
            rc != kErrorSuccess && rc != kErrorFileNotFound)
            return rc;
    for (const auto& cls : lib.classes) {
        const std::string key = "Interface\\" + guidToString(*cls.iid);
        if (long rc = registry.deleteKey(Hive::ClassesRoot, key); rc != kErrorSuccess && rc != kErrorFileNotFound)
            return rc;
    }
    return kErrorSuccess;
}

}  // namespace quarva::shellext
