#pragma once
// Writing a file so that it is either wholly new or untouched: the data goes to a
// short hidden name beside the target, and only a complete, flushed file is renamed
// over it. A cancel, a crash, a kill or a full disk leaves the old file as it was.
//
// Every writer of the suite that replaces a file goes through this class (zip
// writer, zip extraction, format library rewrite and extraction, registry store).
//
//  - The temporary name is short (".qz" + 12 characters) whatever the target's name,
//    so a target of 255 bytes can still be written.
//  - A target that is a symbolic link is not replaced by a file: the link's final
//    target is written (in that target's folder), and the link stays.
//  - The writer holds an exclusive lock on its temporary file. A temporary left by a
//    killed writer (no lock held) is removed by the next AtomicFile in that folder.
//  - Until commit() the temporary is on the process's interrupt list (Interrupt.h):
//    it is removed on destruction and when the process ends on SIGINT/SIGTERM/SIGHUP.

#include <filesystem>
#include <string>
#include <system_error>
#include <sys/types.h>

namespace quarva::platform {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // discards an uncommitted temporary
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;

    // Creates the temporary beside `target` (after following `target` through
    // symbolic links). `mode` is used for a new target; an existing target's
    // permission bits are carried over to the new file.
    bool open(const std::filesystem::path& target, std::error_code& ec, mode_t mode = 0644);
    // The same below an open folder: `name` is one path component inside `dirFd`
    // (used by extraction through SafeDestination); links are not followed here:
    // an existing link named `name` is replaced by the file. `removeStale` false
    // skips the look for dead writers' temporaries (for a caller that writes many
    // files into one folder and has already done it once).
    bool openAt(int dirFd, const std::string& name, std::error_code& ec, mode_t mode = 0644, bool removeStale = true);

    int fd() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Something of the target's name was there when the file was opened.
    bool replaces() const { return replaces_; }
    // The permission bits the new file was given (the old file's, or `mode` less the umask).
    mode_t mode() const { return mode_; }
    // Where the data goes now / where it will be on commit (the resolved target).
    const std::filesystem::path& tempPath() const;
    const std::filesystem::path& targetPath() const;

    // Writes all of `size` bytes at the current position; false with ec on failure
    // (ENOSPC becomes std::errc::no_space_on_device).
    bool write(const void* data, std::size_t size, std::error_code& ec);

    // What commit() makes sure has reached the disk before it returns.
    enum class Flush {
        // Nothing (the file still appears whole or not at all while the system
        // runs): for many new files at once, such as an extraction, where a crash
        // of the machine may lose them but never touches a file that was there.
        None,
        // The file's data before the rename, not the rename itself: a file that
        // replaces another is whole after a crash, and either the old or the new
        // one stands. For extraction over existing files, where a flush of the
        // folder per file would cost one more journal commit each.
        Data,
        // The data, the rename and the folder: a saved file stays saved.
        All,
    };
    // Renames the temporary over the target, flushing what `flush` asks for. After
    // a successful commit the object holds nothing.
    bool commit(std::error_code& ec, Flush flush = Flush::All);
    // Removes the temporary (idempotent).
    void discard();

private:
    int fd_ = -1;
    int dirFd_ = -1;
    std::string tempName_;
    std::string targetName_;
    // Filled in when asked for (a file opened below a folder looks its folder up then).
    mutable std::filesystem::path tempPath_;
    mutable std::filesystem::path targetPath_;
    int slot_ = -1;  // on the interrupt list
    bool replaces_ = false;
    mode_t mode_ = 0;

    bool start(int dirFd, std::string targetName, bool followLinks, bool removeStale, mode_t mode, std::error_code& ec);
    void reset();
};

// Removes the temporaries in the open folder `dirFd` whose writer is gone (no lock
// held). Called by every open; exposed for tests and tools.
void removeStaleTemporaries(int dirFd);

}  // namespace quarva::platform
