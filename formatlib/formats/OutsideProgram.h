#pragma once
// Running the outside programs that read formats libarchive cannot (unar, lsar,
// arj, arc, 7z). Every program runs in `folder`, with no terminal unless it is
// given a password to type.

#include <cstdint>
#include <string>
#include <vector>

namespace quarva::formatlib {

// The program's full path on the PATH, empty when it is not installed.
std::string findTool(const char* name);

// Runs a program in `folder` and keeps at most `most` bytes of what it prints (and
// of its errors with `errorsToo`); `input`, when given, is written to its standard
// input (a password for 7z). Returns its exit status, -1 when it could not run.
int runListing(const std::vector<std::string>& args, const std::string& folder, std::string& out,
               std::size_t most = 16u << 20, bool errorsToo = false, const std::string& input = {});

// Runs an unpacking program in `folder`; it is stopped when what it wrote passes
// `ceiling` bytes (*overflow set) or when the user aborts (*aborted). `listed`: the
// bytes its list announced, for the progress shown.
int runUnpack(const std::vector<std::string>& args, const std::string& folder, std::uint64_t ceiling,
              std::uint64_t listed, bool* overflow, bool* aborted, const std::string& input = {});

// Runs a program in `folder` on a pseudo-terminal of its own and types `password`
// at its password prompt: unar and lsar ask on a terminal only, and the password
// never stands on their command line, where every local user could read it. What
// the program prints is kept in *out (at most 16 MiB) when `out` is given; with a
// `ceiling`, the program is stopped as runUnpack stops it. A second prompt means the
// password was refused (*refused).
int runAnswering(const std::vector<std::string>& args, const std::string& folder, const std::string& password,
                 std::string* out, std::uint64_t ceiling, std::uint64_t listed, bool* overflow, bool* aborted,
                 bool* refused);

}  // namespace quarva::formatlib
