#pragma once
// The binary contract between the shell extension and its host: the smallest
// COM-style interface set that the handlers need. Both sides are built by the
// same compiler, so an interface is a struct of pure virtual functions whose
// vtable layout is the ABI; objects are reference counted and never deleted
// through these pointers, only released.
//
// Strings: ANSI means UTF-8 here; wide strings are UTF-16 (`OLECHAR`).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quarva::com {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using BOOL = int;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// ---- result codes ---------------------------------------------------------
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802Bu);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | (code & 0xFFFF));
}
constexpr unsigned HRESULT_CODE(HRESULT hr) { return static_cast<unsigned>(hr) & 0xFFFF; }
// A system error number as a result code (facility 7).
constexpr HRESULT HRESULT_FROM_WIN32(long err) {
    return err <= 0 ? static_cast<HRESULT>(err)
                    : static_cast<HRESULT>((static_cast<unsigned long>(err) & 0xFFFF) | 0x80070000u);
}

// ---- identifiers ----------------------------------------------------------
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// ---- memory handed across the boundary ------------------------------------
// The task allocator: what one side allocates, the other frees.
inline void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size); }
inline void CoTaskMemFree(void* p) { std::free(p); }

// ---- IUnknown, IClassFactory, IDispatch ------------------------------------
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Late binding. The suite's interfaces add no members of their own, so there is
// nothing to look up by name; the type information lives in the registered type
// library description.
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
using DISPID = std::int32_t;
using LCID = std::uint32_t;
struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, OLECHAR** names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, std::uint16_t flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};

// ---- data objects carrying a file-drop list --------------------------------
// The file-drop format: a DROPFILES header followed by the names, each ended by
// a zero, the list ended by one more zero (names are UTF-8 unless fWide is set).
constexpr std::uint16_t CF_HDROP = 15;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_HGLOBAL = 1;

struct POINTL {
    std::int32_t x, y;
};
struct DROPFILES {
    DWORD pFiles;  // offset of the first name from the start of the block
    POINTL pt;
    BOOL fNC;
    BOOL fWide;
};

struct FORMATETC {
    std::uint16_t cfFormat;
    void* ptd;
    DWORD dwAspect;
    std::int32_t lindex;
    DWORD tymed;
};
// A global-memory block: the pointer and its size.
struct HGLOBAL_BLOCK {
    void* data;
    std::size_t size;
};
using HGLOBAL = HGLOBAL_BLOCK*;
using HDROP = HGLOBAL;
struct STGMEDIUM {
    DWORD tymed;
    HGLOBAL hGlobal;
    IUnknown* pUnkForRelease;  // holds the memory alive; released by ReleaseStgMedium
};

inline void* GlobalLock(HGLOBAL h) { return h ? h->data : nullptr; }
inline BOOL GlobalUnlock(HGLOBAL) { return 0; }
inline void ReleaseStgMedium(STGMEDIUM* medium) {
    if (medium && medium->pUnkForRelease) medium->pUnkForRelease->Release();
    if (medium) *medium = STGMEDIUM{};
}

// The platform's drop-list query: index 0xFFFFFFFF gives the number of names;
// a null buffer gives the length of name `index` (without its zero); otherwise
// the name is copied, truncated to size - 1 characters, and the copied length
// returned.
inline UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size) {
    if (!drop || !drop->data || drop->size < sizeof(DROPFILES)) return 0;
    const auto* base = static_cast<const char*>(drop->data);
    DROPFILES header;
    std::memcpy(&header, base, sizeof header);
    if (header.fWide || header.pFiles > drop->size) return 0;
    const char* p = base + header.pFiles;
    const char* end = base + drop->size;
    UINT n = 0;
    while (p < end && *p) {
        const char* z = static_cast<const char*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
        if (!z) break;
        auto len = static_cast<UINT>(z - p);
        if (n == index) {
            if (!buffer) return len;
            if (size == 0) return 0;
            UINT copied = len < size - 1 ? len : size - 1;
            std::memcpy(buffer, p, copied);
            buffer[copied] = 0;
            return copied;
        }
        ++n;
        p = z + 1;
    }
    return index == 0xFFFFFFFFu ? n : 0;
}

struct IDataObject : IUnknown {
    virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC* format) = 0;

protected:
    ~IDataObject() = default;
};

// ---- folder identifiers -----------------------------------------------------
// A folder identifier carries the folder's file-system path.
struct ITEMIDLIST {
    const char* path;
};
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
constexpr UINT MAX_PATH = 260;
// Copies the folder's path into a buffer of MAX_PATH bytes; false when there is
// none or it does not fit.
inline BOOL SHGetPathFromIDList(PCIDLIST_ABSOLUTE pidl, char* path) {
    if (!pidl || !pidl->path || !path) return 0;
    std::size_t len = std::strlen(pidl->path);
    if (len == 0 || len >= MAX_PATH) return 0;
    std::memcpy(path, pidl->path, len + 1);
    return 1;
}

// ---- menus -------------------------------------------------------------------
// Menus are objects of their own; a handle is an interface pointer. A submenu
// inserted into a menu is held (AddRef) by that menu until it is removed.
struct IMenu;
using HMENU = IMenu*;
// A bitmap resource of the module: its number, size and XPM rows (colours first).
struct BITMAP_RESOURCE {
    int id;
    int width, height;
    const char* const* xpm;
    int xpmRows;
};
using HBITMAP = const BITMAP_RESOURCE*;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;

struct IMenu : IUnknown {
    virtual int GetMenuItemCount() = 0;
    // flags: MF_BYPOSITION (the only addressing supported), MF_STRING or MF_POPUP
    // (then idOrPopup is the submenu) or MF_SEPARATOR. A position at or past the
    // end appends.
    virtual BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idOrPopup, const char* text) = 0;
    // Copies the item's text, truncated to size - 1 characters; returns its length
    // (0 for a separator or a position that does not exist).
    virtual int GetMenuString(UINT position, char* buffer, int size, UINT flags) = 0;
    // Takes the item out; a submenu is released, not destroyed while others hold it.
    virtual BOOL RemoveMenu(UINT position, UINT flags) = 0;
    virtual BOOL SetMenuItemBitmaps(UINT position, UINT flags, HBITMAP unchecked, HBITMAP checked) = 0;
    // 0xFFFFFFFF for a submenu item or a position that does not exist.
    virtual UINT GetMenuItemID(int position) = 0;
    // The submenu at `position` (not AddRef'd; valid while the item stays), or null.
    virtual HMENU GetSubMenu(int position) = 0;
    virtual HBITMAP GetMenuItemBitmap(int position) = 0;

protected:
    ~IMenu() = default;
};

// ---- shell extension interfaces --------------------------------------------
using HKEY = void*;

struct IShellExtInit : IUnknown {
    virtual HRESULT Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) = 0;

protected:
    ~IShellExtInit() = default;
};

constexpr UINT CMF_NORMAL = 0x0000;
constexpr UINT CMF_DEFAULTONLY = 0x0001;

constexpr UINT GCS_VERBA = 0x0000;
constexpr UINT GCS_HELPTEXTA = 0x0001;
constexpr UINT GCS_VALIDATEA = 0x0002;
constexpr UINT GCS_UNICODE = 0x0004;
constexpr UINT GCS_HELPTEXTW = 0x0005;
constexpr UINT GCS_VERBW = 0x0004;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

struct CMINVOKECOMMANDINFO {
    DWORD cbSize;
    DWORD fMask;
    void* hwnd;
    const char* lpVerb;  // a string, or a command offset in its low word
    const char* lpParameters;
    const char* lpDirectory;
    int nShow;
    DWORD dwHotKey;
    void* hIcon;
};
// A command offset passed where a verb string may stand.
inline const char* MAKEINTRESOURCEA(unsigned offset) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(offset & 0xFFFF));
}
inline bool IS_INTRESOURCE(const char* verb) { return (reinterpret_cast<std::uintptr_t>(verb) >> 16) == 0; }
inline unsigned LOWORD(std::uintptr_t v) { return static_cast<unsigned>(v & 0xFFFF); }

struct IContextMenu : IUnknown {
    // Returns MAKE_HRESULT(0, 0, number of items added).
    virtual HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) = 0;
    virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
    // For the wide kinds (GCS_UNICODE), `name` points to OLECHARs and size counts them.
    virtual HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, char* name, UINT size) = 0;

protected:
    ~IContextMenu() = default;
};

constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD MK_LBUTTON = 0x0001;
constexpr DWORD MK_RBUTTON = 0x0002;

struct IDropTarget : IUnknown {
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL pt, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;

protected:
    ~IDropTarget() = default;
};

constexpr DWORD STGM_READ = 0x00000000;

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

struct IPersistFile : IPersist {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
    virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
    virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* fileName) = 0;

protected:
    ~IPersistFile() = default;
};

struct IQueryInfo : IUnknown {
    // The tip is allocated with CoTaskMemAlloc; the caller frees it.
    virtual HRESULT GetInfoTip(DWORD flags, LPOLESTR* tip) = 0;
    virtual HRESULT GetInfoFlags(DWORD* flags) = 0;

protected:
    ~IQueryInfo() = default;
};

// ---- the server's exports ----------------------------------------------------
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();
using PFN_DllUnregisterServer = HRESULT (*)();

}  // namespace quarva::com
