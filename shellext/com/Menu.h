#pragma once
// A menu object: items by position with identifiers, texts, bitmaps and submenus.
// The shell extension builds its popups with it and the host builds the shell's
// menu with it; each module compiles its own copy.

#include <atomic>
#include <string>
#include <vector>

#include "shellext/com/ComTypes.h"

namespace quarva::com {

class CMenu final : public IMenu {
public:
    struct Item {
        UINT flags = MF_STRING;
        UINT id = 0;
        std::string text;
        IMenu* popup = nullptr;  // held
        HBITMAP bitmap = nullptr;
    };

    // A new menu with one reference, or null when memory runs out.
    static CMenu* create();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    int GetMenuItemCount() override;
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idOrPopup, const char* text) override;
    int GetMenuString(UINT position, char* buffer, int size, UINT flags) override;
    BOOL RemoveMenu(UINT position, UINT flags) override;
    BOOL SetMenuItemBitmaps(UINT position, UINT flags, HBITMAP unchecked, HBITMAP checked) override;
    UINT GetMenuItemID(int position) override;
    HMENU GetSubMenu(int position) override;
    HBITMAP GetMenuItemBitmap(int position) override;

    const std::vector<Item>& items() const { return items_; }

private:
    CMenu() = default;
    ~CMenu();
    std::atomic<ULONG> refs_{1};
    std::vector<Item> items_;
};

}  // namespace quarva::com
