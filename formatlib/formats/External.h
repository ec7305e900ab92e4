#pragma once
// Archives read through an outside program because libarchive cannot read them:
// 7z (p7zip-full) for encrypted 7z archives, filters libarchive does not know and
// sets of volumes (7z, rar, cab). The archive is listed with the program's list
// and unpacked into a private folder within the ceiling for undeclared data.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "formatlib/formats/Format.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {

// The program's path, empty when it is not installed.
std::string sevenZipProgram();
// The text for a read that needs the program when it is missing.
std::string sevenZipMissing(const std::string& why);
// The hint added to libarchive's errors when the program would read the archive.
std::string sevenZipHint();
// Lists and unpacks `path` with 7z; `formatName` names the format in listings.
std::unique_ptr<ArchiveReader> openThroughSevenZip(const std::filesystem::path& path, const std::string& password,
                                                   const std::string& formatName, std::string* error);
// libarchive's reader of `path`. `needsSevenZip` tells that the program would read
// the archive better: without it the reader's errors carry the hint, and an archive
// libarchive cannot open at all says that the program is missing.
std::unique_ptr<ArchiveReader> readThroughLibarchive(const std::filesystem::path& path,
                                                     const LibarchiveReader::Setup& setup, const std::string& password,
                                                     unsigned kind, const std::string& formatName, bool needsSevenZip,
                                                     std::string* error);
// The number of files 7z lists (below 0 when it cannot read the archive).
int countThroughSevenZip(const std::filesystem::path& path, const std::string& password);

}  // namespace quarva::formatlib
