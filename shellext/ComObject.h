#pragma once
// The server's object plumbing: the module lock count, objects that may be
// aggregated (their IUnknown delegates to a controlling object), the dual part
// of the suite's interfaces, and creation through a class factory.

#include <atomic>
#include <new>

#include "shellext/com/ComTypes.h"
#include "shellext/com/Guids.h"

namespace quarva::shellext {

// Live objects (handlers and factories handed out) plus outstanding LockServer locks.
void lockModule();
void unlockModule();
long moduleLockCount();

class CComObjectRoot {
public:
    explicit CComObjectRoot(com::IUnknown* outer) : inner_(this), controlling_(outer ? outer : &inner_) {
        lockModule();
    }
    virtual ~CComObjectRoot() { unlockModule(); }
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    // The object's own IUnknown, which never delegates.
    com::IUnknown* innerUnknown() { return &inner_; }

protected:
    // The interface pointer answering `riid` in the class's map, or null.
    virtual void* findInterface(com::REFIID riid) = 0;
    com::IUnknown* controlling() { return controlling_; }

private:
    struct Inner final : com::IUnknown {
        explicit Inner(CComObjectRoot* o) : owner(o) {}
        com::HRESULT QueryInterface(com::REFIID riid, void** ppv) override {
            if (!ppv) return com::E_POINTER;
            if (riid == com::IID_IUnknown) {
                *ppv = static_cast<com::IUnknown*>(this);
                AddRef();
                return com::S_OK;
            }
            void* p = owner->findInterface(riid);
            *ppv = p;
            if (!p) return com::E_NOINTERFACE;
            owner->controlling_->AddRef();
            return com::S_OK;
        }
        com::ULONG AddRef() override { return ++owner->refs_; }
        com::ULONG Release() override {
            com::ULONG left = --owner->refs_;
            if (left == 0) delete owner;
            return left;
        }
        CComObjectRoot* owner;
    };
    Inner inner_;
    com::IUnknown* controlling_;
    std::atomic<com::ULONG> refs_{0};
};

// An object answering the interfaces `Is...`; their IUnknown goes to the controlling object.
template <class... Is>
class CComObject : public CComObjectRoot, public Is... {
public:
    explicit CComObject(com::IUnknown* outer) : CComObjectRoot(outer) {}
    com::HRESULT QueryInterface(com::REFIID riid, void** ppv) override {
        return controlling()->QueryInterface(riid, ppv);
    }
    com::ULONG AddRef() override { return controlling()->AddRef(); }
    com::ULONG Release() override { return controlling()->Release(); }
};

// The dispatch part of a dual interface that adds no members: nothing to look
// up by name and nothing to invoke; the description is in the type library.
template <class I>
struct CDualImpl : I {
    com::HRESULT GetTypeInfoCount(com::UINT* count) override {
        if (!count) return com::E_POINTER;
        *count = 0;
        return com::S_OK;
    }
    com::HRESULT GetTypeInfo(com::UINT, com::LCID, com::ITypeInfo** info) override {
        if (info) *info = nullptr;
        return com::TYPE_E_ELEMENTNOTFOUND;
    }
    com::HRESULT GetIDsOfNames(com::REFIID, com::OLECHAR**, com::UINT, com::LCID, com::DISPID*) override {
        return com::DISP_E_UNKNOWNNAME;
    }
    com::HRESULT Invoke(com::DISPID, com::REFIID, com::LCID, std::uint16_t, com::DISPPARAMS*, com::VARIANT*,
                        com::EXCEPINFO*, com::UINT*) override {
        return com::DISP_E_MEMBERNOTFOUND;
    }
};

// Creates a T (plain, or aggregated by `outer`) and queries it; a failed query
// destroys the new object.
template <class T>
com::HRESULT createInstance(com::IUnknown* outer, com::REFIID riid, void** ppv) {
    if (!ppv) return com::E_POINTER;
    *ppv = nullptr;
    if (outer && !(riid == com::IID_IUnknown)) return com::CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T(outer);
    if (!object) return com::E_OUTOFMEMORY;
    com::IUnknown* inner = object->innerUnknown();
    inner->AddRef();
    com::HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}

// The suite's dual interfaces: IDispatch and nothing more.
struct IZipContext : com::IDispatch {
protected:
    ~IZipContext() = default;
};
struct IZipDrag : com::IDispatch {
protected:
    ~IZipDrag() = default;
};
struct IZipDrop : com::IDispatch {
protected:
    ~IZipDrop() = default;
};
struct IZipSearch : com::IDispatch {
protected:
    ~IZipSearch() = default;
};
struct IZipInfo : com::IDispatch {
protected:
    ~IZipInfo() = default;
};

}  // namespace quarva::shellext
