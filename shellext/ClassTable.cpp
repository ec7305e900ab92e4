#include "shellext/ClassTable.h"

#include "shellext/ZipContext.h"
#include "shellext/ZipDrag.h"
#include "shellext/ZipDrop.h"
#include "shellext/ZipInfo.h"
#include "shellext/ZipSearch.h"

using namespace quarva::com;

namespace quarva::shellext {

const std::array<ClassInfo, 5>& classTable() {
    static const std::array<ClassInfo, 5> table = {{
        {&CLSID_ZipContext,
         &IID_IZipContext,
         "ZipContext",
         "IZipContext",
         "Zip.ZipContext",
         "Zip.ZipContext.1",
         "ZipContext Class",
         {"*\\shellex\\contextmenuhandlers\\QuarvaZip", "Directory\\shellex\\contextmenuhandlers\\Quarvazip",
          "Folder\\shellex\\contextmenuhandlers\\Quarvazip"},
         "Quarva.Zip ContextMenuHandler",
         &createInstance<ZipContext>},
        {&CLSID_ZipDrag,
         &IID_IZipDrag,
         "ZipDrag",
         "IZipDrag",
         "Zip.ZipDrag",
         "Zip.ZipDrag.1",
         "ZipDrag Class",
         {"Directory\\Shellex\\DragDropHandlers\\QuarvaZip", "Drive\\Shellex\\DragDropHandlers\\QuarvaZip",
          "Folder\\Shellex\\DragDropHandlers\\QuarvaZip"},
         "Quarva.Zip DragHandler",
         &createInstance<ZipDrag>},
        {&CLSID_ZipDrop,
         &IID_IZipDrop,
         "ZipDrop",
         "IZipDrop",
         "Zip.ZipDrop",
         "Zip.ZipDrop.1",
         "ZipDrop Class",
         {"QuarvaZip\\Shellex\\DropHandler", nullptr, nullptr},
         "Quarva.Zip DropHandler",
         &createInstance<ZipDrop>},
        {&CLSID_ZipSearch,
         &IID_IZipSearch,
         "ZipSearch",
         "IZipSearch",
         "Zip.ZipSearch",
         "Zip.ZipSearch.1",
         "ZipSearch Class",
         {nullptr, nullptr, nullptr},
         "Quarva.Zip Search",
         &createInstance<ZipSearch>},
        {&CLSID_ZipInfo,
         &IID_IZipInfo,
         "ZipInfo",
         "IZipInfo",
         "Zip.ZipInfo",
         "Zip.ZipInfo.1",
         "ZipInfo Class",
         {"QuarvaZip\\Shellex\\{00021500-0000-0000-c000-000000000046}", nullptr, nullptr},
         "Quarva.Zip InfoHandler",
         &createInstance<ZipInfo>},
    }};
    return table;
}

const ClassInfo* findClass(REFCLSID clsid) {
    for (const auto& info : classTable())
        if (*info.clsid == clsid) return &info;
    return nullptr;
}

}  // namespace quarva::shellext
