#include "shellext/ZipSearch.h"

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellTexts.h"

using namespace quarva::com;

namespace quarva::shellext {

void* ZipSearch::findInterface(REFIID riid) {
    if (riid == IID_IZipSearch || riid == IID_IDispatch) return static_cast<IZipSearch*>(this);
    if (riid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
    return nullptr;
}

HRESULT ZipSearch::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) { return E_NOTIMPL; }

HRESULT ZipSearch::GetCommandString(UINT_PTR, UINT, UINT*, char*, UINT) { return E_NOTIMPL; }

HRESULT ZipSearch::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info || !IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    const unsigned offset = LOWORD(reinterpret_cast<std::uintptr_t>(info->lpVerb));
    if (offset != 0) return E_INVALIDARG;
    // The settings are not read: the search works with the context menus switched off.
    startProgram(archiveManagerCommand(readInstalledPath(), texts::kSwitchFindInZip, ""), false);
    return S_OK;
}

}  // namespace quarva::shellext
