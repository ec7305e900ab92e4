#pragma once
// The info-tip handler of zip archives: the suite's name and the number of
// files and folders the format library counts.

#include <string>

#include "shellext/ComObject.h"

namespace quarva::shellext {

// The tip for `path`, counting with the format library where the drive allows.
std::string infoTipText(const std::string& path);

class ZipInfo final : public CComObject<CDualImpl<IZipInfo>, IPersistFile, IQueryInfo> {
public:
    explicit ZipInfo(IUnknown* outer) : CComObject(outer) {}

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(LPCOLESTR fileName, DWORD mode) override;
    HRESULT Save(LPCOLESTR fileName, BOOL remember) override;
    HRESULT SaveCompleted(LPCOLESTR fileName) override;
    HRESULT GetCurFile(LPOLESTR* fileName) override;

    HRESULT GetInfoTip(DWORD flags, LPOLESTR* tip) override;
    HRESULT GetInfoFlags(DWORD* flags) override;

private:
    void* findInterface(REFIID riid) override;

    std::string path_;
};

}  // namespace quarva::shellext
