#pragma once
// One interface for every archive format of the library. Each format is a
// FormatHandler registered in one table (formats/HandlerTable.cpp) with its
// extensions, its capabilities and a bid on the first bytes of a file. Readers
// and writers stream entry by entry, so memory stays bounded whatever the size.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarva::formatlib {

// What an entry is. A special file (device, pipe, socket) is listed but never
// created on disk nor copied into another archive.
enum class EntryKind { File, Folder, Symlink, Hardlink, Special };

struct EntryInfo {
    std::string name;  // "/" between folders, as stored (not yet checked)
    EntryKind kind = EntryKind::File;
    std::string linkTarget;  // symlink or hard-link target
    bool sizeKnown = true;
    std::uint64_t size = 0;
    std::uint64_t packedSize = 0;
    std::time_t mtime = 0;
    std::uint32_t mode = 0644;  // permission bits
    std::uint32_t crc = 0;
    bool encrypted = false;
    std::string method = "stored";  // shown in listings ("special" for a special file)

    bool isDir() const { return kind == EntryKind::Folder; }
    bool isSymlink() const { return kind == EntryKind::Symlink; }
    bool isHardlink() const { return kind == EntryKind::Hardlink; }
    bool isSpecial() const { return kind == EntryKind::Special; }
    // Not a folder, link or special file: the entry has data of its own.
    bool isFile() const { return kind == EntryKind::File; }
};

// Bytes of one entry. read returns the count, 0 at the end, -1 on an error (error()).
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual long read(void* buffer, std::size_t size) = 0;
    virtual std::string error() const { return {}; }
    // The next bytes where they already lie, without a copy: the count as read()
    // gives it, the bytes at *data until the next call. A source that cannot lend
    // its bytes reads them into `scratch`.
    virtual long view(const void** data, std::vector<char>& scratch) {
        scratch.resize(64 * 1024);
        *data = scratch.data();
        return read(scratch.data(), scratch.size());
    }
};

class ArchiveReader : public DataSource {
public:
    // 1: an entry is ready, 0: the end, -1: an error (error() says what).
    virtual int next(EntryInfo& entry) = 0;
    // After next() or read() gave -1: true when the reader can still go on with
    // the next entry (the damage was confined to one entry), false when the
    // archive is unusable from here on and must not be read again.
    virtual bool canGoOn() const { return false; }
    // A problem with the current entry that did not stop it from being read
    // (a name that could not be converted, a skipped damaged region); empty when none.
    virtual std::string warning() const { return {}; }
    // False for a manifest (an mtree file) that only describes files: its entries
    // carry names, sizes and modes but none of the files' content.
    virtual bool holdsContent() const { return true; }
    // Archive kind for the host (kKindZip, kKindCab, kKindOther).
    virtual unsigned kind() const = 0;
    // Short name of what was found ("tar.gz", "zip (self-extracting)", ...).
    virtual std::string formatName() const = 0;
};

struct WriteOptions {
    std::string password;  // zip only: ZipCrypto
};

class ArchiveWriter {
public:
    virtual ~ArchiveWriter() = default;
    // Writers that must know an entry's size before its data say so; the caller
    // spools sources of unknown size first.
    virtual bool needsSize() const { return true; }
    // Adds one entry; data is null for folders and links.
    virtual bool add(const EntryInfo& entry, DataSource* data) = 0;
    // Completes the file. Nothing written is valid before finish() returned true.
    virtual bool finish() = 0;
    virtual std::string error() const = 0;
};

// How sure a handler is that a file's content is its format. The best bid wins;
// a handler whose extension the file name carries gets kBidNameBonus on top, which
// decides between equal bids but never lifts a bid over the next step of the scale.
// No format is claimed on two bytes alone: a two-byte mark only counts together
// with a check of the header that follows it.
namespace bids {
constexpr int kNone = 0;
// A short mark with a plausible header after it, for formats without a real
// signature (ha, arc), or text whose every line reads as a record of the format
// (an mtree file without its "#mtree" line): a text file starting with the same
// letters fails the check.
constexpr int kWeakMark = 20;
// A plain compressed stream that holds no archive (one file).
constexpr int kCompressedFile = 50;
// A text encoding of a file (UU, XX).
constexpr int kEncodedText = 60;
// An archive behind a program stub (self-extracting programs), found by its end
// record or by the archive's signature further in.
constexpr int kBehindStub = 70;
// A compressed stream whose content starts a tar archive.
constexpr int kCompressedTar = 80;
// A signature of four bytes or more checked together with its header (zip, rar,
// 7z, cab, lha, tar's checksum, ace, arj, zoo).
constexpr int kSignature = 90;
// Added for a matching extension.
constexpr int kNameBonus = 5;
}  // namespace bids

// Where the bids look in a file's first bytes, per format. Offsets count from the
// start of the file (of its first header); sizes are in bytes.
namespace marks {
namespace tar {
// A header is one 512-byte block; a POSIX header has "ustar" at 257, an old one
// only its checksum: eight octal digits at 148, counted as spaces in the sum.
constexpr std::size_t kBlock = 512;
constexpr std::size_t kMagic = 257;
constexpr std::size_t kChecksum = 148, kChecksumSize = 8;
}  // namespace tar
namespace lha {
// Header size and checksum, then the method between dashes ("-lh5-") at 2 to 6;
// the smallest header is 21 bytes.
constexpr std::size_t kMethod = 2, kMinHeader = 21;
}  // namespace lha
namespace cab {
// "MSCF" and four zero bytes; the cabinet's flags at 30 (bits 0 and 1: a previous
// or a next cabinet of a set).
constexpr std::size_t kSignatureSize = 8, kFlags = 30;
}  // namespace cab
namespace ace {
// Header CRC (2), header size (2), type (1) and flags (2), then "**ACE**" at 7.
constexpr std::size_t kMark = 7, kMarkSize = 7;
}  // namespace ace
namespace arj {
// 0x60 0xEA, then the basic header's size (2, little-endian) of at most 2600.
constexpr std::size_t kHeaderSize = 2;
constexpr unsigned kMaxHeader = 2600;
}  // namespace arj
namespace zoo {
// A 20-byte text ("ZOO 2.10 Archive.") and the tag 0xFDC4A7DC (little-endian) at 20.
constexpr std::size_t kTag = 20;
}  // namespace zoo
namespace ha {
// "HA", the file count (2) at 2, then the first header at 4: its type byte (method
// in the low four bits, version 2 in the high ones), packed and unpacked size, CRC
// and time (4 each), then the path and the name, each ended by a zero, at 21.
constexpr std::size_t kCount = 2, kType = 4;
constexpr std::size_t kNames = kType + 1 + 4 * 4;
constexpr std::size_t kMinHead = 24;
}  // namespace ha
namespace arc {
// 0x1A, the method (1 to 11) at 1, a name of at most 12 bytes and its zero at 2;
// the whole first header is 29 bytes.
constexpr std::size_t kMethod = 1, kName = 2;
constexpr std::size_t kNameEnd = kName + 13;
constexpr std::size_t kMinHead = 29;
}  // namespace arc
namespace cpio {
// The old binary form: a 26-byte header with the name's size (2) at 20, the name after it.
constexpr std::size_t kNameSize = 20, kHeader = 26;
}  // namespace cpio
namespace rpm {
// The lead: ED AB EE DB and the major version (3 or 4) at 4; the signature header
// (8E AD E8 01) follows the 96-byte lead.
constexpr std::size_t kVersion = 4, kLead = 96;
}  // namespace rpm
namespace warc {
// "WARC/", the version (digits, a dot, digits) and CR LF on the first line.
constexpr std::size_t kVersion = 5;
}  // namespace warc
namespace mtree {
// Lines of text looked at for a bid on an mtree file without its "#mtree" line.
constexpr std::size_t kLinesLooked = 32;
}  // namespace mtree
namespace xar {
// "xar!", the header's size (2, big-endian, at least 28) at 4, the version (1) at 6,
// the table of contents' compressed and plain sizes (8 each) at 8 and 16, the kind
// of its checksum (4) at 24; a kind named in words follows the 28 bytes.
constexpr std::size_t kHeaderSize = 4, kVersion = 6, kTocPacked = 8, kTocPlain = 16, kChecksumKind = 24;
constexpr std::size_t kMinHeader = 28;
}  // namespace xar
namespace iso {
// ISO 9660: the primary volume descriptor (type 1, "CD001") at 32 KiB.
constexpr std::size_t kDescriptor = 32 * 1024;
}  // namespace iso
}  // namespace marks

enum Capability : unsigned {
    kCanRead = 1,
    kCanCreate = 2,
    kCanAdd = 4,
    kCanDelete = 8,
    kCanEncrypt = 16,
};

class FormatHandler {
public:
    virtual ~FormatHandler() = default;
    virtual const char* name() const = 0;
    // Lower-case extensions without the dot ("tar.gz" allowed).
    virtual std::vector<std::string> extensions() const = 0;
    virtual unsigned capabilities() const = 0;
    // 0 = not mine; higher wins. `head` is up to the first 4 KiB of the file,
    // `path` lets a handler look further (a zip after a program stub).
    virtual int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const = 0;
    virtual std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                                      std::string* error) const = 0;
    // Writes a new archive at `path` (the caller passes a temporary file).
    virtual std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions& options,
                                                      std::string* error) const;
    // Why an entry cannot be written in this format ("the name is too long"), empty
    // when it can; asked before an archive is changed.
    virtual std::string refuses(const EntryInfo&) const { return {}; }
    // The number of file entries when the handler can tell it without reading their
    // data (an outside program's list): a value (below 0 when the file is no readable
    // archive), or nullopt when the entries must be read to count them.
    virtual std::optional<int> quickCount(const std::filesystem::path&) const { return std::nullopt; }
    // Extra text for the error when a capability is missing ("install unar ...").
    virtual std::string unsupportedReason() const { return {}; }
    // For tar and its compressed forms: the libarchive filter around the tar
    // (ARCHIVE_FILTER_NONE for a plain tar); below 0 for every other format.
    virtual int tarFilter() const { return -1; }
};

// The table of handlers.
const std::vector<const FormatHandler*>& allHandlers();
// The handler for an existing file: best bid on its content (the extension breaks
// ties), else by extension.
const FormatHandler* handlerForFile(const std::filesystem::path& path);
// The handler whose bid on the file's content wins, null when no handler bids.
const FormatHandler* handlerForContent(const std::filesystem::path& path);
// What a file that no handler bids on holds, in words ("the file is empty",
// "plain text", "an ELF program", "unknown data beginning 00 01 02 03").
std::string describeContent(const std::filesystem::path& path);
// The handler that creates files with this name (longest matching extension).
const FormatHandler* handlerForName(const std::filesystem::path& path);
const FormatHandler* handlerByName(const std::string& name);

// Most bytes a read hands out for data whose size the archive does not declare,
// summed over the whole archive: 2000 times the archive's size, at least 64 MiB.
std::uint64_t undeclaredDataCeiling(std::uint64_t archiveBytes);

// Reads the first bytes of a file (at most `limit`).
std::vector<std::uint8_t> readHead(const std::filesystem::path& path, std::size_t limit = 4096);

// The handlers themselves, one per file in formats/.
const FormatHandler& tarHandler();
const FormatHandler& tarGzHandler();
const FormatHandler& tarBz2Handler();
const FormatHandler& tarXzHandler();
const FormatHandler& tarZstdHandler();
const FormatHandler& tarLz4Handler();
const FormatHandler& tarLzmaHandler();
const FormatHandler& tarLzipHandler();
const FormatHandler& tarCompressHandler();
const FormatHandler& gzHandler();
const FormatHandler& zipHandler();
const FormatHandler& jarHandler();
const FormatHandler& sfxHandler();
const FormatHandler& cabHandler();
const FormatHandler& lhaHandler();
const FormatHandler& rarHandler();
const FormatHandler& sevenZipHandler();
const FormatHandler& uuHandler();
const FormatHandler& xxHandler();
const FormatHandler& blakHoleHandler();
const FormatHandler& xarHandler();
std::vector<const FormatHandler*> externalHandlers();
// cpio, ar, ISO 9660, rpm, warc, mtree: read only (formats/others.cpp).
std::vector<const FormatHandler*> readOnlyHandlers();

}  // namespace quarva::formatlib
