#pragma once
// The files to add to an archive: gathered from the quoted file list, then each
// looked at (and opened) before the archive is touched.

#include <filesystem>
#include <string>
#include <vector>

#include "formatlib/core/Operations.h"
#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

struct NewItem {
    std::filesystem::path host;
    std::string entry;  // "/" separated
    bool isDir;
};

// One item for every file, folder and link the list names, one per entry name,
// never the archive itself. Files that cannot be found get an error record.
std::vector<NewItem> gatherNewItems(const std::string& archive, const std::string& files, const AddOptions& options,
                                    Reporter& rep);

// A file to add, looked at before the archive is touched.
struct Prepared {
    NewItem item;
    EntryInfo info;
};

// Keeps of `items` what can be added: each file is looked at (and opened) first, so
// that one that cannot be read is skipped with an error record and the entry it
// would have replaced stays in the archive.
std::vector<Prepared> prepareItems(const std::vector<NewItem>& items, const FormatHandler& h, Reporter& rep);

}  // namespace quarva::formatlib
