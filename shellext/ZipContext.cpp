#include "shellext/ZipContext.h"

#include <algorithm>
#include <cstring>

#include "shellext/ShellEnvironment.h"
#include "shellext/ShellPaths.h"
#include "shellext/ShellTexts.h"
#include "shellext/com/WideText.h"

using namespace quarva::com;

namespace quarva::shellext {

namespace {

// Copies `text` into the caller's buffer, ANSI or wide, cut to size characters
// (the last of them the terminating zero).
void copyHelpText(const std::string& text, UINT type, char* name, UINT size) {
    if (!name || size == 0) return;
    if (type & GCS_UNICODE) {
        const std::u16string wide = toWide(text);
        auto* out = reinterpret_cast<OLECHAR*>(name);
        std::size_t copied = std::min<std::size_t>(wide.size(), size - 1);
        std::memcpy(out, wide.data(), copied * sizeof(OLECHAR));
        out[copied] = 0;
    } else {
        std::size_t copied = std::min<std::size_t>(text.size(), size - 1);
        std::memcpy(name, text.data(), copied);
        name[copied] = 0;
    }
}

}  // namespace

bool readDropList(IDataObject* data, std::vector<std::string>& names) {
    if (!data) return false;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return false;
    auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal) ? medium.hGlobal : nullptr);
    if (!drop) {
        ReleaseStgMedium(&medium);
        return false;
    }
    bool ok = true;
    const UINT count = DragQueryFile(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char name[MAX_PATH];
        if (DragQueryFile(drop, i, nullptr, 0) >= MAX_PATH) {
            ok = false;
            break;
        }
        if (DragQueryFile(drop, i, name, sizeof name) == 0) continue;
        names.emplace_back(name);
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return ok;
}

void* ZipContext::findInterface(REFIID riid) {
    if (riid == IID_IZipContext || riid == IID_IDispatch) return static_cast<IZipContext*>(this);
    if (riid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
    if (riid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
    return nullptr;
}

HRESULT ZipContext::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    settings_ = readSystemSettings();
    if (!(settings_ & kUseShellExtensions)) return E_INVALIDARG;
    std::vector<std::string> names;
    if (!readDropList(data, names)) return E_INVALIDARG;
    selected_.insert(selected_.end(), names.begin(), names.end());
    return selected_.empty() ? E_INVALIDARG : S_OK;
}

std::vector<std::string> ZipContext::buildItems() {
    std::vector<std::string> items;
    kind_ = kNone;
    archivePath_.clear();
    folder_.clear();
    if (selected_.empty()) return items;

    const std::size_t n = selected_.size();
    const std::string& P = selected_.front();
    firstPath_ = P;
    extension_ = extensionOf(P);
    int count = 0;
    if (n == 1 && extension_ == ".exe") count = formatLibraryFileCount(readInstalledPath(), P);
    // An archive under a name that does not tell it (no extension, ".tbz", a download
    // renamed): the content decides.
    else if (n == 1 && !isArchiveExtension(extension_) && formatLibraryArchiveType(readInstalledPath(), P) >= 0)
        count = 1;
    if (n == 1 && (count != 0 || isArchiveExtension(extension_))) kind_ = kOneArchive;
    else if (n == 1) kind_ = kOneItem;
    else kind_ = kSeveralItems;

    const bool mail = settings_ & kOfferMail;
    switch (kind_) {
    case kOneArchive: {
        archivePath_ = P;
        folder_ = cutExtension(P);
        const std::string name = fileNamePart(archivePath_);
        items.push_back(texts::kExtractTo);
        items.push_back(std::string(texts::kExtractToFolder) + compactPath(folder_, 45));
        if (mail) items.push_back(std::string(texts::kMail) + name);
        if (offersSelfExtractor(extension_))
            items.push_back(std::string(texts::kMakeSelfExtractor) + compactPath(folder_, 45) + ".exe");
        break;
    }
    case kOneItem: {
        items.push_back(texts::kAddToZip);
        if (isDriveRoot(P)) {
            firstPath_ = driveRootWithoutSeparator(P);
            break;
        }
        const std::string base = isDirectory(P) ? P : withoutExtension(P);
        archivePath_ = base + ".zip";
        const std::string name = fileNamePart(archivePath_);
        items.push_back(std::string(texts::kAddTo) + name);
        if (mail) items.push_back(std::string(texts::kZipAndMail) + name);
        break;
    }
    case kSeveralItems: {
        items.push_back(texts::kAddToZip);
        if (isDriveRoot(P) || !mail) break;
        const auto slash = P.rfind(kSeparator);
        if (slash == std::string::npos) break;
        const std::string D = P.substr(0, slash + 1);
        if (isDriveRoot(D)) {
            archivePath_ = D + driveName(D) + "_zip.zip";
        } else {
            const std::string F = P.substr(0, slash);
            archivePath_ = F + "/" + fileNamePart(F) + ".zip";
        }
        items.push_back(std::string(texts::kZipAndMail) + fileNamePart(archivePath_));
        break;
    }
    case kNone: break;
    }
    return items;
}

HRESULT ZipContext::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) {
    std::vector<std::string> items = buildItems();
    return presenter_.present(menu, index, firstId, lastId, flags, settings_, items, true);
}

bool ZipContext::helpText(unsigned offset, std::string& text) const {
    const std::string name = fileNamePart(archivePath_);
    const std::string convert = std::string(texts::kHelpConvert) + name + texts::kHelpToSelfExtractor;
    switch (kind_) {
    case kOneItem:
        switch (offset) {
        case 0: text = texts::kHelpAddItem; return true;
        case 1: text = texts::kHelpAddItemTo + archivePath_; return true;
        case 2: text = texts::kHelpZipItemTo + name + texts::kHelpAndMail; return true;
        default: return false;
        }
    case kSeveralItems:
        switch (offset) {
        case 0: text = texts::kHelpAddItems; return true;
        case 1: text = texts::kHelpZipItemsTo + name + texts::kHelpAndMail; return true;
        default: return false;
        }
    case kOneArchive:
        switch (offset) {
        case 0: text = texts::kHelpExtractAll; return true;
        case 1: text = texts::kHelpExtractAllTo + folder_; return true;
        case 2: text = (settings_ & kOfferMail) ? texts::kHelpMailItem + name : convert; return true;
        case 3: text = convert; return true;
        default: return false;
        }
    case kNone: return false;
    }
    return false;
}

HRESULT ZipContext::GetCommandString(UINT_PTR offset, UINT type, UINT*, char* name, UINT size) {
    if (!(type & GCS_HELPTEXTA)) return E_INVALIDARG;
    std::string text;
    if (offset > 0xFFFF || !helpText(static_cast<unsigned>(offset), text)) return E_INVALIDARG;
    copyHelpText(text, type, name, size);
    return S_OK;
}

HRESULT ZipContext::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info) return E_INVALIDARG;
    if (!IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    const unsigned offset = LOWORD(reinterpret_cast<std::uintptr_t>(info->lpVerb));
    if (offset > 3 || (offset == 3 && kind_ != kOneArchive)) return E_INVALIDARG;

    // The archive itself travels as the one argument, the other commands hand over a list.
    auto startWithArchive = [&](const char* switchName, bool shown) {
        startProgram(archiveManagerCommand(readInstalledPath(), switchName, archivePath_), shown);
        return S_OK;
    };
    std::vector<std::string> withArchive{archivePath_};
    withArchive.insert(withArchive.end(), selected_.begin(), selected_.end());
    switch (offset) {
    case 0:
        if (kind_ == kOneItem) return handOverList({firstPath_}, false, texts::kSwitchAdd, true);
        if (kind_ == kSeveralItems) return handOverList(selected_, true, texts::kSwitchAdd, true);
        if (kind_ == kOneArchive) return startWithArchive(texts::kSwitchExtract, true);
        break;
    case 1:
        if (kind_ == kOneItem) return handOverList({archivePath_, firstPath_}, false, texts::kSwitchNoAddDialog, false);
        if (kind_ == kSeveralItems) return handOverList(withArchive, true, texts::kSwitchZipAndMail, false);
        if (kind_ == kOneArchive)
            return handOverList({archivePath_, folder_}, false, texts::kSwitchNoExtractDialog, false);
        break;
    case 2:
        if (kind_ == kOneItem) return handOverList({archivePath_, firstPath_}, false, texts::kSwitchZipAndMail, false);
        if (kind_ == kOneArchive)
            return startWithArchive((settings_ & kOfferMail) ? texts::kSwitchMail : texts::kSwitchSfx, false);
        break;
    case 3: return startWithArchive(texts::kSwitchSfx, false);
    }
    return S_OK;
}

}  // namespace quarva::shellext
