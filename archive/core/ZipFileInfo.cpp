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
        info.inFolder = false;
    } else {
        info.name = path.substr(sep + 1);
        info.folder = path.substr(0, sep);
        info.inFolder = true;
    }
    info.size = values.size;
    info.packedSize = values.packedSize;
    info.attributes = values.attributes;
    info.modified = values.modified;
    info.crc = values.crc;
    info.ratio = values.ratio;
    info.method = values.method;
    info.methodName = values.methodName;
    info.disk = values.disk;
    info.encryption = values.encryption;
    info.comment = values.comment;
    return info;
}

}  // namespace quarva::archive
