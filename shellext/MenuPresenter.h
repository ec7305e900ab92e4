#pragma once
// Putting a handler's items into the shell's menu, the same way for the
// context menu and the right-drag menu: a popup of the items (identifier
// first id + position), shown either as the one submenu "Quarva.Zip Suite" or
// copied straight into the shell's menu, with bitmap 203 beside every item when
// icons are on.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/com/ComTypes.h"

namespace quarva::shellext {

// Bitmap resource 203: the 16 x 16, 16-colour item bitmap.
com::HBITMAP itemBitmap();

class CMenuPresenter {
public:
    CMenuPresenter() = default;
    ~CMenuPresenter();
    CMenuPresenter(const CMenuPresenter&) = delete;
    CMenuPresenter& operator=(const CMenuPresenter&) = delete;

    // Returns MAKE_HRESULT(0, 0, number of items), or that of 0 when nothing was added.
    // `replaceSubmenu`: remove an earlier "Quarva.Zip Suite" item from the shell's menu first.
    com::HRESULT present(com::HMENU shellMenu, com::UINT index, com::UINT firstId, com::UINT lastId, com::UINT flags,
                         std::uint32_t settings, const std::vector<std::string>& items, bool replaceSubmenu);

private:
    com::IMenu* popup_ = nullptr;
    com::HBITMAP bitmap_ = nullptr;  // loaded once per object, on first need
};

}  // namespace quarva::shellext
