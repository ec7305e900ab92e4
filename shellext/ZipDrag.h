#pragma once
// The right-drag menu handler for directories, drives and folders: archives
// dragged onto a folder with the right button can be extracted there.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/ComObject.h"
#include "shellext/MenuPresenter.h"

namespace quarva::shellext {

class ZipDrag final : public CComObject<CDualImpl<IZipDrag>, IShellExtInit, IContextMenu> {
public:
    explicit ZipDrag(IUnknown* outer) : CComObject(outer) {}

    HRESULT Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;
    HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, char* name, UINT size) override;

private:
    void* findInterface(REFIID riid) override;

    std::uint32_t settings_ = 0;
    std::string target_;
    std::vector<std::string> archives_;
    std::string firstArchive_;
    std::string subFolderTarget_;
    CMenuPresenter presenter_;
};

}  // namespace quarva::shellext
