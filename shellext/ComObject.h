#pragma once
// The server's object plumbing: the module lock count, objects that may be
// aggregated (their IUnknown delegates to a controlling object), the dual part
// of the suite's interfaces, and creation through a class factory.

#include <atomic>
#include <new>

#include "shellext/com/ComTypes.h"
#include "shellext/com/Guids.h"

namespace quarva::shellext {

using namespace quarva::com;

// Live objects (handlers and factories handed out) plus outstanding LockServer locks.
void lockModule();
void unlockModule();
long moduleLockCount();

class CComObjectRoot {
public:
    explicit CComObjectRoot(IUnknown* outer) : inner_(this), controlling_(outer ? outer : &inner_) { lockModule(); }
    virtual ~CComObjectRoot() { unlockModule(); }
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    // The object's own IUnknown, which never delegates.
    IUnknown* innerUnknown() { return &inner_; }

protected:
    // The interface pointer answering `riid` in the class's map, or null.
    virtual void* findInterface(REFIID riid) = 0;
    IUnknown* controlling() { return controlling_; }

private:
    struct Inner final : IUnknown {
        explicit Inner(CComObjectRoot* o) : owner(o) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) return E_POINTER;
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            void* p = owner->findInterface(riid);
            *ppv = p;
            if (!p) return E_NOINTERFACE;
            owner->controlling_->AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return ++owner->refs_; }
        ULONG Release() override {
            ULONG left = --owner->refs_;
            if (left == 0) delete owner;
            return left;
        }
        CComObjectRoot* owner;
    };
    Inner inner_;
    IUnknown* controlling_;
    std::atomic<ULONG> refs_{0};
};

// An object answering the interfaces `Is...`; their IUnknown goes to the controlling object.
template <class... Is>
class CComObject : public CComObjectRoot, public Is... {
public:
    explicit CComObject(IUnknown* outer) : CComObjectRoot(outer) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return controlling()->QueryInterface(riid, ppv); }
    ULONG AddRef() override { return controlling()->AddRef(); }
    ULONG Release() override { return controlling()->Release(); }
};

// The dispatch part of a dual interface that adds no members: nothing to look
// up by name and nothing to invoke; the description is in the type library.
template <class I>
struct CDualImpl : I {
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, REFIID, LCID, std::uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// Creates a T (plain, or aggregated by `outer`) and queries it; a failed query
// destroys the new object.
template <class T>
HRESULT createInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !(riid == IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T(outer);
    if (!object) return E_OUTOFMEMORY;
    IUnknown* inner = object->innerUnknown();
    inner->AddRef();
    HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}

// The suite's dual interfaces: IDispatch and nothing more.
struct IZipContext : IDispatch {
protected:
    ~IZipContext() = default;
};
struct IZipDrag : IDispatch {
protected:
    ~IZipDrag() = default;
};
struct IZipDrop : IDispatch {
protected:
    ~IZipDrop() = default;
};
struct IZipSearch : IDispatch {
protected:
    ~IZipSearch() = default;
};
struct IZipInfo : IDispatch {
protected:
    ~IZipInfo() = default;
};

}  // namespace quarva::shellext
