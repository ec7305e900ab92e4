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
bool readDropList(com::IDataObject* data, std::vector<std::string>& names);

class ZipContext final : public CComObject<CDualImpl<IZipContext>, com::IShellExtInit, com::IContextMenu> {
public:
    explicit ZipContext(com::IUnknown* outer) : CComObject(outer) {}

    com::HRESULT Initialize(com::PCIDLIST_ABSOLUTE folder, com::IDataObject* data, com::HKEY progId) override;
    com::HRESULT QueryContextMenu(com::HMENU menu, com::UINT index, com::UINT firstId, com::UINT lastId,
                                  com::UINT flags) override;
    com::HRESULT InvokeCommand(com::CMINVOKECOMMANDINFO* info) override;
    com::HRESULT GetCommandString(com::UINT_PTR offset, com::UINT type, com::UINT* reserved, char* name,
                                  com::UINT size) override;

    // 1 = one item that is not an archive, 2 = several items, 3 = one archive.
    enum Kind { kNone = 0, kOneItem = 1, kSeveralItems = 2, kOneArchive = 3 };

private:
    void* findInterface(com::REFIID riid) override;
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
