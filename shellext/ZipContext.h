#pragma once
// The context-menu handler for every file type, directories and folders: it
// classifies the selection, offers the archive commands and starts the archive
// manager with a switch and the list file.

#include <cstdint>
#include <string>
#include <vector>

#include "shellext/ComObject.h"
#include "shellext/MenuPresenter.h"

namespace quarva::shellext {

// Collects the names of a file-drop data object, each at most 259 characters.
// False when there is no file-drop data, it cannot be locked, or a name does not
// fit (a cut name would stand for another file).
bool readDropList(IDataObject* data, std::vector<std::string>& names);

class ZipContext final : public CComObject<CDualImpl<IZipContext>, IShellExtInit, IContextMenu> {
public:
    explicit ZipContext(IUnknown* outer) : CComObject(outer) {}

    HRESULT Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;
    HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, char* name, UINT size) override;

    // 1 = one item that is not an archive, 2 = several items, 3 = one archive.
    enum Kind { kNone = 0, kOneItem = 1, kSeveralItems = 2, kOneArchive = 3 };

private:
    void* findInterface(REFIID riid) override;
    // Classifies the selection and lays out the item texts.
    std::vector<std::string> buildItems();
    bool helpText(unsigned offset, std::string& text) const;

    std::vector<std::string> selected_;
    std::uint32_t settings_ = 0;
    Kind kind_ = kNone;
    std::string firstPath_;
    std::string archivePath_;
    std::string folder_;
    std::string extension_;
    CMenuPresenter presenter_;
};

}  // namespace quarva::shellext
