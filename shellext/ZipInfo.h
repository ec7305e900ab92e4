#pragma once
// The info-tip handler of zip archives: the suite's name and the number of
// files and folders the format library counts.

#include <string>

#include "shellext/ComObject.h"

namespace quarva::shellext {

// The tip for `path`, counting with the format library where the drive allows.
std::string infoTipText(const std::string& path);

class ZipInfo final : public CComObject<CDualImpl<IZipInfo>, com::IPersistFile, com::IQueryInfo> {
public:
    explicit ZipInfo(com::IUnknown* outer) : CComObject(outer) {}

    com::HRESULT GetClassID(com::CLSID* clsid) override;
    com::HRESULT IsDirty() override;
    com::HRESULT Load(com::LPCOLESTR fileName, com::DWORD mode) override;
    com::HRESULT Save(com::LPCOLESTR fileName, com::BOOL remember) override;
    com::HRESULT SaveCompleted(com::LPCOLESTR fileName) override;
    com::HRESULT GetCurFile(com::LPOLESTR* fileName) override;

    com::HRESULT GetInfoTip(com::DWORD flags, com::LPOLESTR* tip) override;
    com::HRESULT GetInfoFlags(com::DWORD* flags) override;

private:
    void* findInterface(com::REFIID riid) override;

    std::string path_;
};

}  // namespace quarva::shellext
