#pragma once
// Spanned sets on removable disks: every disk holds a file of the archive's name;
// the first starts with the spanning marker, the last holds the directory.

#include "engine/EngineOps.h"
#include "engine/ZipReader.h"

#include <string>

namespace quarva::engine {

// A fresh path in the suite's private temporary folder for a whole archive built
// or joined there ("<what>-<process>-<n>.zip").
std::string spanBuildPath(const std::string& what);

// True when `archive` lies on a removable drive (where spanning applies).
bool onRemovableDrive(const std::string& archive);

// Writes the finished archive `complete` (a single-file archive in a temporary
// folder) onto as many disks as it needs, under the name `target`, asking for each
// further disk with event 7 (1-based numbers). Status 0, 150, 190, 420.
std::int16_t writeSpannedSet(ZipEngine::Raiser& raise, const std::string& complete, const std::string& target);

// The disk in the drive holds part of a spanned set (`last` read with
// allowSpanned). Asks for the other disks (event 7) and joins the set into one
// temporary file `joined`, whose directory `dir` then uses plain offsets.
// Status 0, 190, 420, 410, or a write status.
std::int16_t joinSpannedSet(ZipEngine::Raiser& raise, const std::string& archive, const ZipDirectory& last,
                            std::string& joined, ZipDirectory& dir);

// The first disk of a set (marker, no end record) is in the drive: asks for the
// last disk (event 7 with 0) until the archive's end record can be read.
std::int16_t askForLastDisk(ZipEngine::Raiser& raise, const std::string& archive);

}  // namespace quarva::engine
