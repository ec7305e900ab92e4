#pragma once
// The type library "ZIPLib": the description of the server's classes and dual
// interfaces, kept inside the library, and its registration under
// HKEY_CLASSES_ROOT\TypeLib and HKEY_CLASSES_ROOT\Interface.

#include <array>
#include <string>

#include "platform/Registry.h"
#include "shellext/com/ComTypes.h"

namespace quarva::shellext {

struct TypeLibClass {
    const char* name;
    const com::CLSID* clsid;
    const char* interfaceName;
    const com::IID* iid;
};

struct TypeLibDescription {
    const com::GUID* libid;
    const char* name;
    const char* helpString;
    unsigned short major, minor;
    // The five served classes, then ZipProp, which is described but neither
    // registered nor created.
    std::array<TypeLibClass, 6> classes;
};

const TypeLibDescription& typeLibrary();

// Writes the type library's registration for the library at `modulePath`;
// returns a system error number (0 on success).
long registerTypeLibrary(platform::Registry& registry, const std::string& modulePath);
// Removes what registerTypeLibrary wrote; missing keys are no failure.
long unregisterTypeLibrary(platform::Registry& registry);

}  // namespace quarva::shellext
