// The in-process server: its four exports, the class factories and the lock count.

#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <string>

#include "shellext/ClassTable.h"
#include "shellext/ComObject.h"
#include "shellext/Registration.h"

using namespace quarva::com;

namespace quarva::shellext {

namespace {

std::atomic<long> gLockCount{0};

// One factory per class, living as long as the module. A factory handed out
// counts as a live object until its last release, so the module is not unloaded
// under a caller that still holds it.
class CClassFactory final : public IClassFactory {
public:
    explicit CClassFactory(Creator create) : create_(create) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override {
        ULONG n = ++refs_;
        if (n == 1) lockModule();
        return n;
    }
    ULONG Release() override {
        ULONG n = --refs_;
        if (n == 0) unlockModule();
        return n;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override { return create_(outer, riid, ppv); }
    HRESULT LockServer(BOOL lock) override {
        if (lock) lockModule();
        else unlockModule();
        return S_OK;
    }

private:
    Creator create_;
    std::atomic<ULONG> refs_{0};
};

CClassFactory* factoryFor(REFCLSID clsid) {
    static CClassFactory factories[] = {
        CClassFactory(classTable()[0].create), CClassFactory(classTable()[1].create),
        CClassFactory(classTable()[2].create), CClassFactory(classTable()[3].create),
        CClassFactory(classTable()[4].create),
    };
    const auto& table = classTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (*table[i].clsid == clsid) return &factories[i];
    return nullptr;
}

// The library's own file, as the loader reports it, made absolute.
std::string modulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname) return {};
    std::error_code ec;
    auto path = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : path.lexically_normal().string();
}

}  // namespace

void lockModule() { ++gLockCount; }
void unlockModule() { --gLockCount; }
long moduleLockCount() { return gLockCount.load(); }

}  // namespace quarva::shellext

using namespace quarva::shellext;

#define QZIP_EXPORT extern "C" __attribute__((visibility("default")))

QZIP_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CClassFactory* factory = factoryFor(clsid);
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(riid, ppv);
}

QZIP_EXPORT HRESULT DllCanUnloadNow() { return moduleLockCount() == 0 ? S_OK : S_FALSE; }

QZIP_EXPORT HRESULT DllRegisterServer() {
    const std::string path = modulePath();
    if (path.empty()) return E_UNEXPECTED;
    return registerServer(path);
}

QZIP_EXPORT HRESULT DllUnregisterServer() { return unregisterServer(); }
