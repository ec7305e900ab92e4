#include "shellext/ZipInfo.h"

#include <cstdio>
#include <cstring>

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellPaths.h"
#include "shellext/ShellTexts.h"
#include "shellext/com/WideText.h"

using namespace quarva::com;

namespace quarva::shellext {

std::string infoTipText(const std::string& path) {
    if (tipDriveOf(path) != TipDrive::Local) return texts::kTipPlain;
    const int count = formatLibraryFileCount(readInstalledPath(), path);
    char text[128];
    std::snprintf(text, sizeof text, texts::kTipCount, count);
    return text;
}

void* ZipInfo::findInterface(REFIID riid) {
    if (riid == IID_IZipInfo || riid == IID_IDispatch) return static_cast<IZipInfo*>(this);
    if (riid == IID_IPersistFile || riid == IID_IPersist) return static_cast<IPersistFile*>(this);
    if (riid == IID_IQueryInfo) return static_cast<IQueryInfo*>(this);
    return nullptr;
}

HRESULT ZipInfo::GetClassID(CLSID*) { return E_NOTIMPL; }
HRESULT ZipInfo::IsDirty() { return E_NOTIMPL; }
HRESULT ZipInfo::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
HRESULT ZipInfo::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
HRESULT ZipInfo::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

HRESULT ZipInfo::Load(LPCOLESTR fileName, DWORD) {
    if (!fileName) return E_INVALIDARG;
    std::string path = toUtf8(fileName);
    // The stored path holds 259 characters; a longer one is refused rather than cut,
    // since a cut path would name another file.
    if (path.empty() || path.size() >= MAX_PATH) return E_INVALIDARG;
    path_ = std::move(path);
    return S_OK;
}

HRESULT ZipInfo::GetInfoTip(DWORD, LPOLESTR* tip) {
    if (!tip) return E_POINTER;
    *tip = nullptr;
    if (path_.empty()) return E_FAIL;
    const std::u16string wide = toWide(infoTipText(path_));
    auto* out = static_cast<OLECHAR*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, wide.data(), wide.size() * sizeof(OLECHAR));
    out[wide.size()] = 0;
    *tip = out;
    return S_OK;
}

HRESULT ZipInfo::GetInfoFlags(DWORD* flags) {
    if (flags) *flags = 0;
    return E_NOTIMPL;
}

}  // namespace quarva::shellext
