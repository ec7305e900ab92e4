#include "archive/core/ZipFileInfo.h"

namespace quarva::archive {

std::string entryKey(const std::string& reportedName) {
    auto drive = reportedName.find(":\\");
    return drive == std::string::npos ? reportedName : reportedName.substr(drive + 2);
}

CZipFileInfo CZipFileInfo::fromValues(const EntryValues& values) {
    CZipFileInfo info;
    std::string path = entryKey(values.name);
    auto sep = path.rfind('\\');
    if (sep == std::string::npos) {
        info.name = path;
        info.inFolder = 0;
    } else {
        info.name = path.substr(sep + 1);
        info.folder = path.substr(0, sep);
        info.inFolder = 1;
    }
    info.size = values.size;
    info.packedSize = values.packedSize;
    info.fourth = static_cast<std::int32_t>(values.done);
    info.fifth = values.value4;
    info.modified = values.modified;
    info.seventh = values.value6;
    info.ratio = values.ratio;
    info.more = {values.value8, values.value9, values.value10, values.value11};
    info.trailing = values.value12;
    return info;
}

}  // namespace quarva::archive
