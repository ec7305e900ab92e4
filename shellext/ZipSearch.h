#pragma once
// The search handler: starts the archive manager's find-in-zip.

#include "shellext/ComObject.h"

namespace quarva::shellext {

class ZipSearch final : public CComObject<CDualImpl<IZipSearch>, IContextMenu> {
public:
    explicit ZipSearch(IUnknown* outer) : CComObject(outer) {}

    HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, char* name, UINT size) override;

private:
    void* findInterface(REFIID riid) override;
};

}  // namespace quarva::shellext
