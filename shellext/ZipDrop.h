#pragma once
// The drop handler of zip archives: files dropped onto an archive are added to it.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/ComObject.h"

namespace quarva::shellext {

class ZipDrop final : public CComObject<CDualImpl<IZipDrop>, IPersistFile, IDropTarget> {
public:
    explicit ZipDrop(IUnknown* outer) : CComObject(outer) {}

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(LPCOLESTR fileName, DWORD mode) override;
    HRESULT Save(LPCOLESTR fileName, BOOL remember) override;
    HRESULT SaveCompleted(LPCOLESTR fileName) override;
    HRESULT GetCurFile(LPOLESTR* fileName) override;

    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;
    HRESULT DragOver(DWORD keyState, POINTL pt, DWORD* effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;

private:
    void* findInterface(REFIID riid) override;

    std::string archive_;
    std::uint32_t settings_ = 0;
    std::vector<std::string> dropped_;
};

}  // namespace quarva::shellext
