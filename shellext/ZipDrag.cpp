#include "shellext/ZipDrag.h"

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellPaths.h"
#include "shellext/ShellTexts.h"
#include "shellext/ZipContext.h"

using namespace quarva::com;

namespace quarva::shellext {

void* ZipDrag::findInterface(REFIID riid) {
    if (riid == IID_IZipDrag || riid == IID_IDispatch) return static_cast<IZipDrag*>(this);
    if (riid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
    if (riid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
    return nullptr;
}

HRESULT ZipDrag::Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY) {
    settings_ = readSystemSettings();
    if (!(settings_ & kUseShellExtensions)) return E_INVALIDARG;
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDList(folder, path)) return E_INVALIDARG;
    target_ = path;

    std::vector<std::string> names;
    if (!readDropList(data, names)) return E_INVALIDARG;
    for (const auto& name : names) {
        const std::string ext = extensionOf(name);
        if (ext == ".exe") {
            // Only a self-extracting program counts; an ordinary one spoils the whole drop.
            if (formatLibraryFileCount(readInstalledPath(), name) < 1) return E_INVALIDARG;
        } else if (!isArchiveExtension(ext)) {
            continue;
        }
        archives_.push_back(name);
    }
    return archives_.empty() ? E_INVALIDARG : S_OK;
}

HRESULT ZipDrag::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) {
    std::vector<std::string> items;
    subFolderTarget_.clear();
    if (!archives_.empty()) {
        firstArchive_ = archives_.front();
        items.push_back(std::string(texts::kExtractToFolder) + compactPath(target_, 35));
        if (archives_.size() == 1) {
            // The target gains a trailing separator (a drive root has one already) and keeps it.
            if (target_.empty() || target_.back() != kSeparator) target_ += kSeparator;
            subFolderTarget_ = target_ + cutExtension(fileNamePart(firstArchive_));
            items.push_back(std::string(texts::kExtractToFolder) + compactPath(subFolderTarget_, 35));
        }
    }
    return presenter_.present(menu, index, firstId, lastId, flags, settings_, items, false);
}

HRESULT ZipDrag::GetCommandString(UINT_PTR, UINT, UINT*, char*, UINT) { return E_NOTIMPL; }

HRESULT ZipDrag::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info || !IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    const unsigned offset = LOWORD(reinterpret_cast<std::uintptr_t>(info->lpVerb));
    if (offset == 0 && !archives_.empty()) {
        std::vector<std::string> lines;
        for (const auto& archive : archives_) {
            lines.push_back(archive);
            lines.push_back(target_);
        }
        return handOverList(lines, true, texts::kSwitchNoExtractDialog, false);
    }
    // Offered only for a single archive; with several there is no sub-folder target.
    if (offset == 1 && archives_.size() == 1 && !subFolderTarget_.empty())
        return handOverList({firstArchive_, subFolderTarget_}, false, texts::kSwitchNoExtractDialog, false);
    return S_OK;
}

}  // namespace quarva::shellext
