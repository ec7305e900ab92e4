#pragma once
// Files, drives and the system error codes that the suite's messages are keyed by.
//
// Linux has no drive letters. Where the suite speaks of drives:
//  - the "drive" of a path is the mount point that holds it, or the nearest folder
//    listed in $QUARVA_REMOVABLE_ROOTS (':'-separated), which counts as the root of
//    a removable drive (tests use small tmpfs mounts listed there);
//  - a drive is removable when it is listed there, or when the block device behind
//    the mount has /sys/block/<dev>/removable = 1 (or sits on USB/MMC);
//  - network file systems (nfs, cifs, smb3, sshfs, 9p, ...) are remote drives.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace quarva::platform {

// Drive types, numbered as the platform numbers them.
enum class DriveType : int { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

// File attribute bits, as the platform numbers them.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;  // a name starting with '.'
constexpr std::uint32_t kAttrSystem = 0x04;  // not a regular file, folder or link
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

// The suite's private temporary folder, the same in every program: $XDG_RUNTIME_DIR/quarva
// when XDG_RUNTIME_DIR is set to a folder of the user's, else /tmp/quarva-<uid>. Created with mode 0700 when
// missing; refused when it exists but is a link, not a folder, not owned by the user or
// open to others. Never the shared /tmp itself. Empty when refused or impossible to
// create; tempFolderProblem() then says why, in words for the user.
std::filesystem::path tempFolder();
std::string tempFolderProblem();
std::filesystem::path currentDirectory();  // empty when it cannot be read

DriveType driveType(const std::filesystem::path& path);
// The root of the drive that holds `path` (see above); `path` itself when it is a root.
std::filesystem::path driveRoot(const std::filesystem::path& path);
bool isDriveRoot(const std::filesystem::path& path);

// Bytes available to the caller on the drive of `path`.
std::optional<std::uint64_t> freeSpace(const std::filesystem::path& path);

// kInvalidAttributes when the file does not exist.
std::uint32_t fileAttributes(const std::filesystem::path& path);
// Only kAttrReadOnly is kept (as the owner's write permission); kAttrNormal clears it.
bool setFileAttributes(const std::filesystem::path& path, std::uint32_t attributes);

// System error numbers the suite's messages are keyed by.
namespace syserr {
constexpr int kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5, kInvalidDrive = 15, kWriteProtect = 19,
              kNotReady = 21, kCrc = 23, kSeek = 25, kNotDosDisk = 26, kWriteFault = 29, kReadFault = 30,
              kGenFailure = 31, kSharingViolation = 32, kLockViolation = 33, kAdapterHardware = 57, kFileExists = 80,
              kBufferOverflow = 111, kDiskFull = 112, kBadPathname = 161, kAlreadyExists = 183, kStackOverflow = 1001,
              kFileInvalid = 1006, kIoDevice = 1117;
}
// errno → system error number. `writing` tells an I/O error while writing (29)
// from one while reading (30).
int systemErrorFromErrno(int err, bool writing = false);
// The system error number of the last failed call on this thread (from errno).
int lastSystemError(bool writing = false);

}  // namespace quarva::platform
