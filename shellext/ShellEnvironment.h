#pragma once
// What the handlers read and do outside themselves: the settings (read afresh
// on every call, never cached), the format library's count, the list file and
// starting the archive manager.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace quarva::shellext {

// Bits of "Config System Settings" that the handlers test.
inline constexpr std::uint32_t kUseShellExtensions = 0x10;
inline constexpr std::uint32_t kUseSubmenus = 0x20;
inline constexpr std::uint32_t kShowIcons = 0x40;
inline constexpr std::uint32_t kOfferMail = 0x80;
// The suite's default for the value (what the archive manager shows when it is
// missing or 0).
inline constexpr std::uint32_t kDefaultSystemSettings = 0x3FF;

// "Config System Settings"; the default when the value is missing, unreadable or 0.
std::uint32_t readSystemSettings();
// "Installed Path" (at most 259 bytes); empty when missing or too long.
std::string readInstalledPath();

// The archive manager's program: installed path + "/QuarvaZip".
std::string programPath(const std::string& installedPath);
// The program path as the first word of a command line sent without quotes:
// as it stands, unless it holds a blank, which would cut it in two.
std::string unquotedProgram(const std::string& installedPath);

// Loads the format library from the installed folder by file name, calls its
// FileCount with `archive` and frees it again; 0 when the library or the entry
// point is missing.
int formatLibraryFileCount(const std::string& installedPath, const std::string& archive);

// "~QuarvaZip.tmp" in the temporary folder.
std::filesystem::path listFilePath();

// The list file, created (truncated) on open. It is never followed through a
// link and never taken over from another user, since the temporary folder may
// be shared.
class ListFile {
public:
    ListFile() = default;
    ~ListFile();
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;
    bool create();
    bool write(const std::string& text);
    // Flushes and closes; false when anything written was lost.
    bool close();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Starts a command line, shown or hidden; the result is the launcher's.
// When $QUARVA_SHELLEXT_LAUNCH_LOG names a file, the start is recorded there
// instead ("shown" or "hidden", a tab, the command line, a line end) - the
// tests' way to see what the shell extension would start.
bool startProgram(const std::string& commandLine, bool shown);

}  // namespace quarva::shellext
