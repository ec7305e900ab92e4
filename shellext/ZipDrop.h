#pragma once
// The drop handler of zip archives: files dropped onto an archive are added to it.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/ComObject.h"

namespace quarva::shellext {

class ZipDrop final : public CComObject<CDualImpl<IZipDrop>, com::IPersistFile, com::IDropTarget> {
public:
    explicit ZipDrop(com::IUnknown* outer) : CComObject(outer) {}

    com::HRESULT GetClassID(com::CLSID* clsid) override;
    com::HRESULT IsDirty() override;
    com::HRESULT Load(com::LPCOLESTR fileName, com::DWORD mode) override;
    com::HRESULT Save(com::LPCOLESTR fileName, com::BOOL remember) override;
    com::HRESULT SaveCompleted(com::LPCOLESTR fileName) override;
    com::HRESULT GetCurFile(com::LPOLESTR* fileName) override;

    com::HRESULT DragEnter(com::IDataObject* data, com::DWORD keyState, com::POINTL pt, com::DWORD* effect) override;
    com::HRESULT DragOver(com::DWORD keyState, com::POINTL pt, com::DWORD* effect) override;
    com::HRESULT DragLeave() override;
    com::HRESULT Drop(com::IDataObject* data, com::DWORD keyState, com::POINTL pt, com::DWORD* effect) override;

private:
    void* findInterface(com::REFIID riid) override;

    std::string archive_;
    std::uint32_t settings_ = 0;
    std::vector<std::string> dropped_;
};

}  // namespace quarva::shellext
