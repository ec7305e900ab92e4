#include "shellext/MenuPresenter.h"

#include <cstring>

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellTexts.h"
#include "shellext/com/Menu.h"

using namespace quarva::com;

namespace quarva::shellext {

namespace {

// A green archive with a zipper, in 16 colours at most.
const char* const kBitmap203[] = {
    "16 16 5 1",        ". c None",         "# c #1E4620",      "g c #3FA34D",      "y c #F2C230",
    "w c #FFFFFF",      "................", "..############..", "..#gggg#yy#gg#..", "..#gggg#yy#gg#..",
    "..#gggg#yy#gg#..", "..#gggg####gg#..", "..#gggg#yy#gg#..", "..#gggg####gg#..", "..#gggg#yy#gg#..",
    "..#gggg#ww#gg#..", "..#gggg#ww#gg#..", "..#gggg####gg#..", "..#gggggggggg#..", "..#gggggggggg#..",
    "..############..", "................",
};

const BITMAP_RESOURCE kItemBitmap = {203, 16, 16, kBitmap203,
                                     static_cast<int>(sizeof kBitmap203 / sizeof kBitmap203[0])};

HRESULT itemsAdded(unsigned count) { return MAKE_HRESULT(0, 0, count); }

}  // namespace

HBITMAP itemBitmap() { return &kItemBitmap; }

CMenuPresenter::~CMenuPresenter() {
    if (popup_) popup_->Release();
}

HRESULT CMenuPresenter::present(HMENU shellMenu, UINT index, UINT firstId, UINT lastId, UINT flags,
                                std::uint32_t settings, const std::vector<std::string>& items, bool replaceSubmenu) {
    if (!shellMenu) return E_INVALIDARG;
    // The popup is made anew on every call.
    if (popup_) popup_->Release();
    popup_ = CMenu::create();
    if (!popup_) return E_OUTOFMEMORY;
    for (std::size_t p = 0; p < items.size(); ++p)
        popup_->InsertMenu(static_cast<UINT>(p), MF_BYPOSITION | MF_STRING, firstId + p, items[p].c_str());

    if (flags & CMF_DEFAULTONLY) return itemsAdded(0);
    // Identifiers past the range the shell gave would clash with other commands.
    if (!items.empty() && (lastId < firstId || lastId - firstId < items.size() - 1)) return itemsAdded(0);

    const bool icons = settings & kShowIcons;
    if (icons) {
        if (!bitmap_) bitmap_ = itemBitmap();
        for (std::size_t p = 0; p < items.size(); ++p)
            popup_->SetMenuItemBitmaps(static_cast<UINT>(p), MF_BYPOSITION, bitmap_, bitmap_);
    }

    if (settings & kUseSubmenus) {
        if (replaceSubmenu) {
            const int count = shellMenu->GetMenuItemCount();
            for (int i = 0; i < count; ++i) {
                char text[256];
                shellMenu->GetMenuString(static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
                if (std::strcmp(text, texts::kSubmenu) == 0) {
                    shellMenu->RemoveMenu(static_cast<UINT>(i), MF_BYPOSITION);
                    break;
                }
            }
        }
        if (!shellMenu->InsertMenu(index, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup_),
                                   texts::kSubmenu))
            return itemsAdded(0);
        if (icons) {
            // The submenu sits at `index`, or at the end when the menu was shorter.
            const int count = shellMenu->GetMenuItemCount();
            const UINT at = index < static_cast<UINT>(count) ? index : static_cast<UINT>(count - 1);
            shellMenu->SetMenuItemBitmaps(at, MF_BYPOSITION, bitmap_, bitmap_);
        }
    } else {
        for (std::size_t p = 0; p < items.size(); ++p) {
            char text[256];
            popup_->GetMenuString(static_cast<UINT>(p), text, sizeof text, MF_BYPOSITION);
            const UINT at = index + static_cast<UINT>(p);
            shellMenu->InsertMenu(at, MF_BYPOSITION | MF_STRING, firstId + p, text);
            if (icons) {
                const int count = shellMenu->GetMenuItemCount();
                shellMenu->SetMenuItemBitmaps(at < static_cast<UINT>(count) ? at : static_cast<UINT>(count - 1),
                                              MF_BYPOSITION, bitmap_, bitmap_);
            }
        }
    }
    return itemsAdded(static_cast<unsigned>(items.size()));
}

}  // namespace quarva::shellext
