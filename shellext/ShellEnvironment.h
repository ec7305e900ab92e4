#pragma once
// What the handlers read and do outside themselves: the settings (read afresh
// on every call, never cached), the format library's count, the list file and
// starting the archive manager.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shellext/com/ComTypes.h"

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

// Loads the format library from the installed folder by file name, calls its
// FileCount with `archive` and frees it again; 0 when the library or the entry
// point is missing.
int formatLibraryFileCount(const std::string& installedPath, const std::string& archive);
// The archive kind the file's content shows by the format library's bids (0 zip,
// 3 cab, 10 other), -1 when it is no archive or the library cannot be asked.
int formatLibraryArchiveType(const std::string& installedPath, const std::string& archive);

// A name that can be written into a list file: one without a line break (CR or
// LF), which would add lines of its own to the list.
bool fitsInListFile(const std::string& name);

// One hand-over to the archive manager: a list file of its own, named "~QuarvaZip"
// followed by a random part and ".tmp", in the suite's private temporary folder.
// It is created exclusively (never an existing file, never through a link) and
// readable by the user alone, so two quick commands never share or overwrite a
// list. The archive manager removes it once read; discard() removes it when
// nothing was started.
class ListFile {
public:
    ListFile() = default;
    ~ListFile();
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;
    // False when the temporary folder cannot be used or no file can be made there;
    // problem() then says why, for the user.
    bool create();
    const std::filesystem::path& path() const { return path_; }
    const std::string& problem() const { return problem_; }
    bool write(const std::string& text);
    // Flushes and closes; false when anything written was lost.
    bool close();
    void discard();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::filesystem::path path_;
    std::string problem_;
};

// Starts a program with its argument vector, shown or hidden; the result is the
// launcher's. When $QUARVA_SHELLEXT_LAUNCH_LOG names a file, the start is recorded
// there instead: "shown" or "hidden", then each word after a tab (with "\\", "\\t",
// "\\n" and "\\r" standing for those characters), then a line end - the tests' way
// to see what the shell extension would start.
bool startProgram(const std::vector<std::string>& argv, bool shown);

// The archive manager's program with its switch and argument, as one argument
// vector: program, "/" + switch, argument.
std::vector<std::string> archiveManagerCommand(const std::string& installedPath, const std::string& switchName,
                                               const std::string& argument);

// Hands paths to the archive manager: the lines, joined by CR LF (and the last one
// ended too when `endLastLine`), go into a list file of their own, and the archive
// manager is started with the switch and the list's path. A line holding a line
// break is refused before anything is written, and so is a temporary folder that
// cannot be used; both with a message. When the program cannot be started, the
// list is removed again.
com::HRESULT handOverList(const std::vector<std::string>& lines, bool endLastLine, const char* switchName, bool shown);

// Tells the user why a command was refused: a message box with the suite's caption
// and the stop icon (on the host's error output, as the shell extension has no
// window of its own). When $QUARVA_SHELLEXT_MESSAGE_LOG names a file, the text is
// appended there instead, ended by a NUL byte, for the tests.
void showRefusal(const std::string& text);

}  // namespace quarva::shellext
