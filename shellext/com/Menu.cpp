#include "shellext/com/Menu.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "shellext/com/Guids.h"

namespace quarva::com {

CMenu* CMenu::create() { return new (std::nothrow) CMenu(); }

CMenu::~CMenu() {
    for (auto& item : items_)
        if (item.popup) item.popup->Release();
}

HRESULT CMenu::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMenu) {
        *ppv = static_cast<IMenu*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CMenu::AddRef() { return ++refs_; }

ULONG CMenu::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

int CMenu::GetMenuItemCount() { return static_cast<int>(items_.size()); }

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR idOrPopup, const char* text) {
    if (!(flags & MF_BYPOSITION)) return 0;
    Item item;
    item.flags = flags & (MF_POPUP | MF_SEPARATOR);
    if (flags & MF_POPUP) {
        item.popup = reinterpret_cast<IMenu*>(idOrPopup);
        if (!item.popup || item.popup == this) return 0;
    } else {
        item.id = static_cast<UINT>(idOrPopup);
    }
    if (!(flags & MF_SEPARATOR)) item.text = text ? text : "";
    try {
        items_.reserve(items_.size() + 1);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (item.popup) item.popup->AddRef();
    std::size_t at = position < items_.size() ? position : items_.size();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    return 1;
}

int CMenu::GetMenuString(UINT position, char* buffer, int size, UINT flags) {
    if (!(flags & MF_BYPOSITION) || position >= items_.size()) return 0;
    const std::string& text = items_[position].text;
    if (!buffer || size <= 0) return static_cast<int>(text.size());
    std::size_t copied = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags) {
    if (!(flags & MF_BYPOSITION) || position >= items_.size()) return 0;
    IMenu* popup = items_[position].popup;
    items_.erase(items_.begin() + position);
    if (popup) popup->Release();
    return 1;
}

BOOL CMenu::SetMenuItemBitmaps(UINT position, UINT flags, HBITMAP unchecked, HBITMAP) {
    if (!(flags & MF_BYPOSITION) || position >= items_.size()) return 0;
    items_[position].bitmap = unchecked;
    return 1;
}

UINT CMenu::GetMenuItemID(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size()) return 0xFFFFFFFFu;
    const Item& item = items_[static_cast<std::size_t>(position)];
    return item.popup ? 0xFFFFFFFFu : item.id;
}

HMENU CMenu::GetSubMenu(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size()) return nullptr;
    return items_[static_cast<std::size_t>(position)].popup;
}

HBITMAP CMenu::GetMenuItemBitmap(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size()) return nullptr;
    return items_[static_cast<std::size_t>(position)].bitmap;
}

}  // namespace quarva::com
