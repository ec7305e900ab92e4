#pragma once
// The right-drag menu handler for directories, drives and folders: archives
// dragged onto a folder with the right button can be extracted there.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/ComObject.h"
#include "shellext/MenuPresenter.h"

namespace quarva::shellext {

class ZipDrag final : public CComObject<CDualImpl<IZipDrag>, com::IShellExtInit, com::IContextMenu> {
public:
    explicit ZipDrag(com::IUnknown* outer) : CComObject(outer) {}

    com::HRESULT Initialize(com::PCIDLIST_ABSOLUTE folder, com::IDataObject* data, com::HKEY progId) override;
    com::HRESULT QueryContextMenu(com::HMENU menu, com::UINT index, com::UINT firstId, com::UINT lastId,
                                  com::UINT flags) override;
    com::HRESULT InvokeCommand(com::CMINVOKECOMMANDINFO* info) override;
    com::HRESULT GetCommandString(com::UINT_PTR offset, com::UINT type, com::UINT* reserved, char* name,
                                  com::UINT size) override;

private:
    void* findInterface(com::REFIID riid) override;

    std::uint32_t settings_ = 0;
    std::string target_;
    std::vector<std::string> archives_;
    std::string firstArchive_;
    std::string subFolderTarget_;
    CMenuPresenter presenter_;
};

}  // namespace quarva::shellext
