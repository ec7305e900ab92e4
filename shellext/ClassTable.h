#pragma once
// The server's class table, in the order registration and unregistration walk it.

#include <array>

#include "shellext/com/ComTypes.h"

namespace quarva::shellext {

using Creator = com::HRESULT (*)(com::IUnknown* outer, com::REFIID riid, void** ppv);

struct ClassInfo {
    const com::CLSID* clsid;
    const com::IID* iid;
    const char* name;           // "ZipContext"
    const char* interfaceName;  // "IZipContext"
    const char* versionIndependentProgId;
    const char* progId;
    const char* description;
    std::array<const char*, 3> handlerKeys;  // under HKEY_CLASSES_ROOT; null where unused
    const char* approval;                    // data of the approval value
    Creator create;
};

const std::array<ClassInfo, 5>& classTable();
// The entry of `clsid`, or null.
const ClassInfo* findClass(com::REFCLSID clsid);

// The file type that registration claims ".zip" for, and the key naming it.
inline constexpr const char* kZipExtensionKey = ".zip";
inline constexpr const char* kZipFileType = "QuarvaZip";

}  // namespace quarva::shellext
