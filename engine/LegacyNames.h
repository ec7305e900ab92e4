#pragma once
// Names stored in a legacy code page (no UTF-8 flag, not valid UTF-8). Code page
// 437 is assumed unless a name shows otherwise: a backslash byte that is the second
// byte of a double-byte CP932 (Shift JIS) character, as in "表" (0x95 0x5C). Such a
// name is read as CP932, so that byte never splits it into folders; once one name
// of an archive shows it, the archive's other legacy names that are valid CP932 are
// read that way too. Only a real separator ('/', or '\' as a character of its own)
// then splits a name.
// A character set the user chose (see knownCharset) comes first: each legacy
// name valid in it is read in it, the others as above. The stored bytes never
// change; only the names shown and matched do.

#include "engine/ZipFormat.h"

#include <string>
#include <vector>

namespace quarva::engine {

// True when `raw` is valid CP932 and holds a double-byte character whose second
// byte is a backslash.
bool showsCp932(const std::string& raw);

// `raw` read as CP932, in UTF-8; empty when it is not valid CP932.
std::string cp932ToUtf8(const std::string& raw);

// The UTF-8 text of one legacy name on its own: CP932 when it shows it, else 437.
std::string legacyNameToUtf8(const std::string& raw);

// True when names can be read in `charset` ("CP866", "GBK", ...): iconv knows it,
// the name holds no '/', and the set reads printable ASCII as ASCII.
bool knownCharset(const std::string& charset);

// Gives the entries at `legacy` (their names read from legacy bytes) their names:
// in `charset` when it is a known one and the name is valid in it without gaining a
// separator, dot or control character; else CP932 when any of them shows it and
// the name is valid CP932; else code page 437.
void readLegacyNames(std::vector<ZipEntry>& entries, const std::vector<std::size_t>& legacy,
                     const std::string& charset = {});

}  // namespace quarva::engine
