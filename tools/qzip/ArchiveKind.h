#pragma once
// Which engine handles an archive: the zip engine, or the format library.

#include <string>

namespace quarva::qzip {

enum class ArchiveKind { Zip, Other };

// By content when the file exists (a zip end record, or "PK" at the start), else by
// extension: ".zip", ".jar" and names without a known other extension are zip.
ArchiveKind archiveKind(const std::string& path);

}  // namespace quarva::qzip
