#pragma once
// The desktop shell's side of the shell extension, as the platform plays it:
// finding a handler through the registry, loading its server, creating the
// handler and handing it a file-drop data object and a menu.

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "shellext/com/ComTypes.h"

namespace quarva::shellhost {

// A data object that carries a file-drop list.
class CDropData final : public com::IDataObject {
public:
    // A new object with one reference, or null when memory runs out.
    static CDropData* create(const std::vector<std::string>& paths);

    com::HRESULT QueryInterface(com::REFIID riid, void** ppv) override;
    com::ULONG AddRef() override;
    com::ULONG Release() override;
    com::HRESULT GetData(const com::FORMATETC* format, com::STGMEDIUM* medium) override;
    com::HRESULT QueryGetData(const com::FORMATETC* format) override;

private:
    CDropData() = default;
    ~CDropData() = default;
    std::atomic<com::ULONG> refs_{1};
    std::vector<char> block_;
    com::HGLOBAL_BLOCK global_{};
};

// A loaded server library. It stays loaded for the life of the process: a
// program it started may still be watched by a thread inside it.
struct ServerLibrary {
    void* handle = nullptr;
    com::PFN_DllGetClassObject getClassObject = nullptr;
    com::PFN_DllCanUnloadNow canUnloadNow = nullptr;
    com::PFN_DllRegisterServer registerServer = nullptr;
    com::PFN_DllUnregisterServer unregisterServer = nullptr;

    // False, with a message in `error`, when the file does not load or lacks an export.
    bool load(const std::string& path, std::string* error);
};

// DllGetClassObject, the factory's CreateInstance, and the factory's release.
com::HRESULT createObject(const ServerLibrary& server, com::REFCLSID clsid, com::REFIID riid, void** ppv);

struct HandlerRef {
    std::string name;  // the handler key's name
    com::CLSID clsid{};
    std::string server;  // InprocServer32 path
};

class HandlerRegistry {
public:
    explicit HandlerRegistry(platform::Registry registry) : registry_(std::move(registry)) {}

    // The handlers registered under HKEY_CLASSES_ROOT\<type>\shellex\<kind> for
    // each type in order, each class once. Unapproved or unregistered classes are
    // left out, with a note in `notes`.
    std::vector<HandlerRef> handlers(const std::vector<std::string>& types, const std::string& kind,
                                     std::vector<std::string>* notes) const;
    // The handler named by the default value of HKEY_CLASSES_ROOT\<key>.
    std::optional<HandlerRef> handlerAt(const std::string& key, std::string* note) const;
    // The class of a ProgID (through CurVer where there is one).
    std::optional<HandlerRef> classOfProgId(const std::string& progId, std::string* note) const;
    // The file type of a path: the default value of its extension's key.
    std::string fileTypeOf(const std::string& path) const;
    // The type keys whose context-menu or drag handlers apply to `path`.
    std::vector<std::string> typeKeysFor(const std::string& path) const;

private:
    std::optional<HandlerRef> resolve(const std::string& name, const std::string& clsidText, std::string* note) const;
    platform::Registry registry_;
};

// A path as the shell hands it over: absolute, without "." and "..", and
// without a trailing separator unless it is "/".
std::string shellPath(const std::string& path);

// "0x80070057"
std::string hresultText(com::HRESULT hr);

}  // namespace quarva::shellhost
