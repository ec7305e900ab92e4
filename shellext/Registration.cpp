#include "shellext/Registration.h"

#include <cctype>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "shellext/ClassTable.h"
#include "shellext/TypeLibrary.h"
#include "shellext/com/Guids.h"

using namespace quarva::com;

namespace quarva::shellext {

using platform::Hive;
using platform::kErrorFileNotFound;
using platform::kErrorSuccess;
using platform::Registry;

namespace {

HRESULT fromError(long rc) { return rc == kErrorSuccess ? S_OK : HRESULT_FROM_WIN32(rc); }

bool missingIsFine(long rc) { return rc == kErrorSuccess || rc == kErrorFileNotFound; }

std::string parentKey(const std::string& key) {
    auto slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// Removes `key` when nothing is left in it.
long removeIfEmpty(Registry& registry, const std::string& key) {
    if (key.empty() || !registry.keyExists(Hive::ClassesRoot, key)) return kErrorSuccess;
    if (!registry.subkeys(Hive::ClassesRoot, key).empty() || !registry.values(Hive::ClassesRoot, key).empty())
        return kErrorSuccess;
    return registry.deleteKey(Hive::ClassesRoot, key);
}

// The handler containers that go when they hold nothing more; the keys above
// them (*, Directory, Drive, Folder, their shellex keys, .zip) are shared and stay.
bool isOwnContainer(const std::string& key) {
    auto lower = key;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.ends_with("\\contextmenuhandlers") || lower.ends_with("\\dragdrophandlers") ||
           lower == "quarvazip\\shellex" || lower == "quarvazip";
}

long registerClass(Registry& registry, const ClassInfo& info, const std::string& modulePath) {
    const std::string clsid = guidToString(*info.clsid);
    const std::string clsidKey = std::string("CLSID\\") + clsid;
    const std::string libid = guidToString(LIBID_ZIPLib);

    // The class key is rewritten from scratch, so registering twice leaves one set.
    if (long rc = registry.deleteKey(Hive::ClassesRoot, clsidKey); !missingIsFine(rc)) return rc;

    struct Write {
        std::string key, name, value;
    };
    std::vector<Write> writes = {
        {info.progId, "", info.description},
        {std::string(info.progId) + "\\CLSID", "", clsid},
        {info.versionIndependentProgId, "", info.description},
        {std::string(info.versionIndependentProgId) + "\\CLSID", "", clsid},
        {std::string(info.versionIndependentProgId) + "\\CurVer", "", info.progId},
        {clsidKey, "", info.description},
        {clsidKey + "\\ProgID", "", info.progId},
        {clsidKey + "\\VersionIndependentProgID", "", info.versionIndependentProgId},
        {clsidKey + "\\InprocServer32", "", modulePath},
        {clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsidKey + "\\TypeLib", "", libid},
    };
    for (const char* handler : info.handlerKeys)
        if (handler) writes.push_back({handler, "", clsid});
    // The drop handler claims ".zip" for the archive file type.
    if (*info.clsid == CLSID_ZipDrop) writes.push_back({kZipExtensionKey, "", kZipFileType});

    for (const auto& w : writes)
        if (long rc = registry.writeString(Hive::ClassesRoot, w.key, w.name, w.value); rc != kErrorSuccess) return rc;
    if (long rc = registry.createKey(Hive::ClassesRoot, clsidKey + "\\Programmable"); rc != kErrorSuccess) return rc;
    return registry.writeString(Hive::LocalMachine, kApprovedKey, clsid, info.approval);
}

long unregisterClass(Registry& registry, const ClassInfo& info) {
    const std::string clsid = guidToString(*info.clsid);
    for (const std::string& key :
         {std::string("CLSID\\") + clsid, std::string(info.progId), std::string(info.versionIndependentProgId)})
        if (long rc = registry.deleteKey(Hive::ClassesRoot, key); !missingIsFine(rc)) return rc;
    for (const char* handler : info.handlerKeys) {
        if (!handler) continue;
        if (long rc = registry.deleteKey(Hive::ClassesRoot, handler); !missingIsFine(rc)) return rc;
        for (std::string up = parentKey(handler); isOwnContainer(up); up = parentKey(up))
            if (long rc = removeIfEmpty(registry, up); !missingIsFine(rc)) return rc;
    }
    if (long rc = registry.deleteValue(Hive::LocalMachine, kApprovedKey, clsid); !missingIsFine(rc)) return rc;
    return kErrorSuccess;
}

}  // namespace

HRESULT registerServer(const std::string& modulePath) {
    Registry registry = Registry::fromEnvironment();
    for (const auto& info : classTable())
        if (long rc = registerClass(registry, info, modulePath); rc != kErrorSuccess) return fromError(rc);
    return fromError(registerTypeLibrary(registry, modulePath));
}

HRESULT unregisterServer() {
    Registry registry = Registry::fromEnvironment();
    for (const auto& info : classTable())
        if (long rc = unregisterClass(registry, info); rc != kErrorSuccess) return fromError(rc);
    return fromError(unregisterTypeLibrary(registry));
}

}  // namespace quarva::shellext
