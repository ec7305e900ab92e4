#include "shellext/ZipDrop.h"

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellTexts.h"
#include "shellext/ZipContext.h"
#include "shellext/com/WideText.h"

using namespace quarva::com;

namespace quarva::shellext {

void* ZipDrop::findInterface(REFIID riid) {
    if (riid == IID_IZipDrop || riid == IID_IDispatch) return static_cast<IZipDrop*>(this);
    if (riid == IID_IPersistFile || riid == IID_IPersist) return static_cast<IPersistFile*>(this);
    if (riid == IID_IDropTarget) return static_cast<IDropTarget*>(this);
    return nullptr;
}

HRESULT ZipDrop::GetClassID(CLSID*) { return E_NOTIMPL; }
HRESULT ZipDrop::IsDirty() { return E_NOTIMPL; }
HRESULT ZipDrop::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
HRESULT ZipDrop::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
HRESULT ZipDrop::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

HRESULT ZipDrop::Load(LPCOLESTR fileName, DWORD) {
    if (!fileName) return E_INVALIDARG;
    archive_ = toUtf8(fileName);
    return S_OK;
}

HRESULT ZipDrop::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    settings_ = readSystemSettings();
    if (!(settings_ & kUseShellExtensions)) return E_INVALIDARG;
    // Each drag starts its own list: a drag that leaves and comes back must not
    // add its files twice.
    dropped_.clear();
    std::vector<std::string> names;
    if (!readDropList(data, names)) names.clear();
    dropped_ = std::move(names);
    if (!dropped_.empty()) {
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    if (effect) *effect = DROPEFFECT_NONE;
    return E_INVALIDARG;
}

HRESULT ZipDrop::DragOver(DWORD, POINTL, DWORD*) { return E_NOTIMPL; }

HRESULT ZipDrop::DragLeave() { return S_OK; }

HRESULT ZipDrop::Drop(IDataObject*, DWORD, POINTL, DWORD* effect) {
    if (!(settings_ & kUseShellExtensions)) return E_INVALIDARG;
    // Nothing gathered (no DragEnter, or it refused) or no archive loaded: nothing to add.
    if (dropped_.empty() || archive_.empty()) return E_INVALIDARG;
    if (effect) *effect = DROPEFFECT_COPY;
    std::vector<std::string> lines{archive_};
    lines.insert(lines.end(), dropped_.begin(), dropped_.end());
    return handOverList(lines, true, texts::kSwitchNoAddDialog, false);
}

}  // namespace quarva::shellext
