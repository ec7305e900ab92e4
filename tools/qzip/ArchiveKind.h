#pragma once
// Which engine handles an archive: the zip engine, or the format library.

#include "engine/ZipReader.h"

#include <string>

namespace quarva::qzip {

enum class ArchiveKind { Zip, Other };

// By content when the file exists: the format library's bids decide (zip data,
// also behind a program stub, goes to the zip engine; every other format to the
// library); what no format recognises goes to the zip engine when it finds a zip
// directory, else by extension. A file that does not exist yet goes by extension:
// ".zip", ".jar" and names without a known other extension are zip.
ArchiveKind archiveKind(const std::string& path);

// Who reads a zip (engine::zipReading) when the format library can be loaded;
// without it the engine reads what it can and says why it cannot read the rest.
engine::ZipReading zipReader(const std::string& path);

// What the file holds, in words, for a file the zip engine refused ("plain text",
// "a tar.xz archive"); empty when it cannot be told. `zip` (when given) is set when
// the content is a zip after all (its central directory is what failed).
std::string contentDescription(const std::string& path, bool* zip = nullptr);

}  // namespace quarva::qzip
