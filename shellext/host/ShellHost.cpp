#include "shellext/host/ShellHost.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <new>

#include "platform/FileSystem.h"
#include "shellext/Registration.h"
#include "shellext/com/Guids.h"

namespace fs = std::filesystem;

using namespace quarva::com;

namespace quarva::shellhost {

using platform::Hive;

// ---- CDropData -----------------------------------------------------------

CDropData* CDropData::create(const std::vector<std::string>& paths) {
    auto* data = new (std::nothrow) CDropData();
    if (!data) return nullptr;
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = 0;
    std::size_t size = sizeof header + 1;
    for (const auto& p : paths) size += p.size() + 1;
    try {
        data->block_.assign(size, 0);
    } catch (const std::bad_alloc&) {
        delete data;
        return nullptr;
    }
    std::memcpy(data->block_.data(), &header, sizeof header);
    std::size_t at = sizeof header;
    for (const auto& p : paths) {
        std::memcpy(data->block_.data() + at, p.data(), p.size());
        at += p.size() + 1;
    }
    data->global_ = HGLOBAL_BLOCK{data->block_.data(), data->block_.size()};
    return data;
}

HRESULT CDropData::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropData::AddRef() { return ++refs_; }

ULONG CDropData::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT CDropData::QueryGetData(const FORMATETC* format) {
    if (!format) return E_POINTER;
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT)
        return DV_E_FORMATETC;
    return S_OK;
}

HRESULT CDropData::GetData(const FORMATETC* format, STGMEDIUM* medium) {
    if (!medium) return E_POINTER;
    if (HRESULT hr = QueryGetData(format); hr != S_OK) return hr;
    // The medium shares this object's memory and keeps the object alive until released.
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = &global_;
    medium->pUnkForRelease = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

// ---- servers --------------------------------------------------------------

bool ServerLibrary::load(const std::string& path, std::string* error) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = std::string("cannot load ") + path + ": " + dlerror();
        return false;
    }
    getClassObject = reinterpret_cast<PFN_DllGetClassObject>(dlsym(handle, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
    registerServer = reinterpret_cast<PFN_DllRegisterServer>(dlsym(handle, "DllRegisterServer"));
    unregisterServer = reinterpret_cast<PFN_DllUnregisterServer>(dlsym(handle, "DllUnregisterServer"));
    if (!getClassObject || !canUnloadNow || !registerServer || !unregisterServer) {
        if (error) *error = path + " is not an in-process server (an export is missing)";
        return false;
    }
    return true;
}

HRESULT createObject(const ServerLibrary& server, REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!server.getClassObject) return E_UNEXPECTED;
    IClassFactory* factory = nullptr;
    HRESULT hr = server.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

// ---- the registry's handlers ----------------------------------------------------

namespace {

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::optional<HandlerRef> HandlerRegistry::resolve(const std::string& name, const std::string& clsidText,
                                                   std::string* note) const {
    auto clsid = parseGuid(clsidText);
    if (!clsid) {
        if (note) *note = "handler " + name + ": \"" + clsidText + "\" is no class identifier";
        return std::nullopt;
    }
    const std::string canonical = guidToString(*clsid);
    auto server = registry_.readString(Hive::ClassesRoot, "CLSID\\" + canonical + "\\InprocServer32", "");
    if (!server || server->empty()) {
        if (note) *note = "handler " + name + ": class " + canonical + " has no in-process server";
        return std::nullopt;
    }
    // Only approved extensions are loaded into the shell.
    if (!registry_.readString(Hive::LocalMachine, shellext::kApprovedKey, canonical)) {
        if (note) *note = "handler " + name + ": class " + canonical + " is not approved";
        return std::nullopt;
    }
    return HandlerRef{name, *clsid, *server};
}

std::vector<HandlerRef> HandlerRegistry::handlers(const std::vector<std::string>& types, const std::string& kind,
                                                  std::vector<std::string>* notes) const {
    std::vector<HandlerRef> found;
    for (const auto& type : types) {
        const std::string key = type + "\\shellex\\" + kind;
        for (const auto& name : registry_.subkeys(Hive::ClassesRoot, key)) {
            // The key's default value names the class; a key named by a class identifier names it itself.
            auto value = registry_.readString(Hive::ClassesRoot, key + "\\" + name, "");
            std::string clsid = value && !value->empty() ? *value : name;
            std::string note;
            auto ref = resolve(name, clsid, &note);
            if (!ref) {
                if (notes && !note.empty()) notes->push_back(note);
                continue;
            }
            bool seen =
                std::any_of(found.begin(), found.end(), [&](const HandlerRef& h) { return h.clsid == ref->clsid; });
            if (!seen) found.push_back(*ref);
        }
    }
    return found;
}

std::optional<HandlerRef> HandlerRegistry::handlerAt(const std::string& key, std::string* note) const {
    auto value = registry_.readString(Hive::ClassesRoot, key, "");
    if (!value || value->empty()) {
        if (note) *note = "no handler is registered at " + key;
        return std::nullopt;
    }
    return resolve(key, *value, note);
}

std::optional<HandlerRef> HandlerRegistry::classOfProgId(const std::string& progId, std::string* note) const {
    std::string id = progId;
    if (auto cur = registry_.readString(Hive::ClassesRoot, id + "\\CurVer", ""); cur && !cur->empty()) id = *cur;
    auto clsid = registry_.readString(Hive::ClassesRoot, id + "\\CLSID", "");
    if (!clsid || clsid->empty()) {
        if (note) *note = "the class " + progId + " is not registered";
        return std::nullopt;
    }
    return resolve(progId, *clsid, note);
}

std::string HandlerRegistry::fileTypeOf(const std::string& path) const {
    std::string name = fs::path(path).filename().string();
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    auto type = registry_.readString(Hive::ClassesRoot, lowered(name.substr(dot)), "");
    return type ? *type : std::string();
}

std::vector<std::string> HandlerRegistry::typeKeysFor(const std::string& path) const {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        if (platform::isDriveRoot(path)) return {"Drive", "Folder"};
        return {"Directory", "Folder"};
    }
    std::vector<std::string> types = {"*"};
    if (std::string type = fileTypeOf(path); !type.empty()) types.push_back(type);
    return types;
}

std::string shellPath(const std::string& path) {
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    if (ec) abs = path;
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string hresultText(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

}  // namespace quarva::shellhost
