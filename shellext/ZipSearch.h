#pragma once
// The search handler: starts the archive manager's find-in-zip.

#include "shellext/ComObject.h"

namespace quarva::shellext {

class ZipSearch final : public CComObject<CDualImpl<IZipSearch>, com::IContextMenu> {
public:
    explicit ZipSearch(com::IUnknown* outer) : CComObject(outer) {}

    com::HRESULT QueryContextMenu(com::HMENU menu, com::UINT index, com::UINT firstId, com::UINT lastId,
                                  com::UINT flags) override;
    com::HRESULT InvokeCommand(com::CMINVOKECOMMANDINFO* info) override;
    com::HRESULT GetCommandString(com::UINT_PTR offset, com::UINT type, com::UINT* reserved, char* name,
                                  com::UINT size) override;

private:
    void* findInterface(com::REFIID riid) override;
};

}  // namespace quarva::shellext
