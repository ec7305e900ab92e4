#pragma once
// The zip compression engine.
//
// The engine is driven the way its host drives an outside control: properties,
// methods and events by number (the dispatch surface, `ZipEngine::setProperty`,
// `ZipEngine::getProperty`, `ZipEngine::invoke`, `ZipEngine::setEventHandler`),
// and, underneath, a typed C++ API that the dispatch table calls.
//
// Every method runs synchronously on the caller's thread and raises its events on
// that same thread, in archive order, while it runs (compression itself may use
// worker threads; events never come from them). Only the abort property may be set
// from another thread while a method runs.
//
// ---------------------------------------------------------------------------------
// Properties (id, type, meaning)
//   1  bool    abort: true makes the running method stop between two blocks and
//              return 190. Cleared when the next method starts.
//   2  int16   compression level 0..9 (0 stores); default 6
//   3  bool    erase a new disk before writing to it when spanning
//   4  string  extraction folder (host path)
//   6  bool    include hidden files and folders (names starting with '.');
//              special files (devices, fifos, sockets) are then reported with
//              reason 12 instead of being passed over silently
//   9  bool    delete the added files after a successful add
//  10  bool    spanning: on a removable drive, add writes a spanned set (the
//              same file name on every disk, event 7 for each further disk);
//              test and extract of a spanned set ask for its disks (event 7) and
//              read them. Listing needs only the last disk (the directory).
//              Elsewhere the property changes nothing.
//  11  int16   overwrite when extracting: 0 never (the file is skipped, reason 1),
//              1 always, except read-only files (skipped, reason 7),
//              2 replace without asking, read-only files included (edit in place)
//  12  string  password (empty: none)
//  13  bool    recurse into subfolders when adding
//  16  bool    save path info: when adding, keep each path as property 21 gives
//              it (a relative one stays relative, without "./" and leading "..";
//              an absolute one loses its root); off: the file name alone (two
//              equal names give 370). When extracting, use the stored folders;
//              off: the file name alone.
//  18  string  archive file name (host path)
//  19  int16   read only: number of disks of the archive in property 18 when it is
//              a spanned set, 0 otherwise (spanning can be offered when it is 0)
//  20  string  archive comment: reading it reads the comment of the archive in
//              property 18; writing it rewrites that archive with the new comment
//              (through a temporary file, as every change)
//  21  string  names to process, each line ended by "\r\n" (see "Names" below)
//  -- our own --
//  40  bool    encrypt new entries with AES-256 (WinZip AE-2) instead of the
//              traditional zip encryption when a password is set
//  41  int16   worker threads for compressing, testing and extracting:
//              0 = all cores (default)
//  42  string  character set of legacy names (stored without the UTF-8 flag or a
//              Unicode path field), as iconv names it ("CP866", "GBK"); empty
//              (default): code page 437, or CP932 where a name shows it. A name
//              not valid in the set keeps the automatic reading. Names shown,
//              matched and extracted follow it; stored bytes never change.
//              Setting a set iconv does not know, or one that does not read
//              ASCII as ASCII (UTF-7, UTF-16, EBCDIC), fails and keeps the old one.
//
// Methods (id: arguments → int16 status)
//  22 test()            checks every selected entry (CRC, sizes, authentication);
//                          410 when they pass but the end records are damaged
//  23 repair(mode)      0: rebuild the central directory from the local headers of
//                          the intact entries; 1: also salvage what can be read of
//                          damaged entries (truncated, bad CRC, lying sizes).
//                          The archive in property 18 is replaced through a
//                          temporary file beside it.
//  24 add(action)       0 add and replace, 1 freshen (replace only entries that
//                          exist and are older), 2 update and add (add new ones,
//                          replace older ones)
//  25 extract(mode)     mode 0 extracts to property 4. Mode 1 extracts only files
//                          that do not exist or are older at the destination.
//                          Other modes are refused with 130.
//  26 list()            raises event 6 for every selected entry
//  28 delete()          removes the selected entries (event 2 each); an empty
//                          name list selects nothing (140), never everything
//
// Every change (add, delete, repair, comment) writes a new file beside the archive
// (beside the file a link leads to) and renames it over the archive when complete:
// an interrupt, a kill or a full disk leaves the archive as it was. Entries it does
// not change are carried byte for byte (name, extra fields, flags, comment), and
// bytes in front of the first entry (a self-extractor's program) stay in front,
// with the offsets counted from the start of the file.
//
// Names (property 21): lines ended by "\r\n". Archive-side names use "\" as the
// separator ("/" is accepted too); "*" matches any run (also across "\"), "?" one
// character, letters compare without regard to case. An empty list selects every
// entry. A line beginning with ">" is a name filter for the files found under the
// folder lines before it (up to the previous filter line):
// "*\r\n>*.txt\r\n>*.doc" selects every .txt and .doc file. For add, lines are
// host paths (native, wildcards allowed in the last component); a folder adds its
// files (and, with property 13, its subfolders), filtered by the ">" lines.
//
// Events (id: arguments)
//   1  entry record     an entry is about to be processed (progress; may be ignored)
//   2  name             entry deleted
//   3  entry record     progress inside a large entry (value 3 = bytes done,
//                       value 8 = percent), while adding or extracting
//   6  entry record     listed entry
//   7  int16 disk       insert disk number n (1-based) of a spanned set; 0 = the last
//                       disk. The handler returns after the disk is in the drive, or
//                       sets property 1 to abort; it may set property 3 first. While
//                       writing, a disk that still holds the piece just written is
//                       asked for again.
//   8  archive, password (in/out), int16 action (out)
//                       password needed or wrong for the entry being tested or
//                       extracted. Setting action to 2 and the password retries
//                       with it (and keeps it in property 12); anything else, or
//                       an answer already tried, skips the entry (reason 4).
//  10  name, int16 reason
//                       entry (or host file while adding) skipped or failed
//  11  entry record     file or folder added or extracted (value 1 == value 3:
//                       complete; folders end with "\")
//  12  entry record     file (or folder record) passed the test
//  13  entry record     the method is done: empty name, value 1 = value 3 = bytes
//                       of all entries it handled, value 8 = 100 (may be ignored);
//                       raised by add, extract and test when they return 0 or 200
//
// Entry record: name, then 12 values in this order
//   name    archive-side name with "\" separators; folders end with "\"
//   1 int32 uncompressed size (saturated at 2^31-1; the typed API has 64 bits)
//   2 int32 packed size (same)
//   3 int32 bytes done: equal to value 1 when the entry is complete
//   4 int16 DOS attributes (0x01 read-only, 0x02 hidden, 0x04 system,
//           0x10 folder, 0x20 archive)
//   5 text  modification time "dd-mm-yy hh:mm" (local time)
//   6 int32 CRC-32 of the uncompressed data (as a 32-bit pattern)
//   7 int16 compression ratio in percent (0..100; 0 for empty entries)
//   8 int16 percent of this entry done (100 when complete)
//   9 int16 compression method as stored (0 stored, 8 deflate, 9 deflate64,
//           12 bzip2, 14 lzma, 93 zstd, 95 xz, 98 ppmd; AES entries give the real
//           method behind the encryption)
//  10 int16 disk number of the entry's local header, 1-based
//  11 int16 encryption: 0 none, 1 traditional, 2 AES-128, 3 AES-192, 4 AES-256,
//           5 other (strong encryption: listed, skipped on extract)
//  12 text  entry comment
//
// Skip reasons (event 10)
//   1  exists: the destination exists and overwrite (11) is 0 / not newer (mode 1)
//   2  unsafe name: absolute, drive letter, ".." or "\" traversal, control
//      characters; nothing written
//   3  unsupported compression method
//   4  password missing or wrong (the event 8 answer was not a retry)
//   5  CRC mismatch (test, extract: the partial output is removed)
//   6  data damaged: sizes disagree, stream ends early, bad AES authentication,
//      declared size exceeded
//   7  cannot create or write the output file (or it is read-only, overwrite 1)
//   8  cannot open or read the file to add
//   9  link target outside the destination, or a path through a link
//  10  unsupported encryption
//  11  overlapping entry: its data lies inside another entry's data
//  12  not a regular file or folder (devices, sockets, fifos) when adding
//
// Status codes (int16, also kStatus* below)
//   0 success; 100 archive not found; 110 archive empty (zero bytes) or not a zip;
//   120 not enough memory; 130 configuration error (a property is out of range);
//   140 no matches found (no selected entry / no file to add); 150 disk full;
//   160 unexpected end of file; 190 user aborted; 200 CRC check failed (test: one
//   or more entries failed; extract: data errors); 210 could not test any file;
//   250 unexpected error; 370 two files with the same name without paths;
//   400 cannot access the archive or a file (permission, missing folder; a
//   read-only archive is never changed: add, delete, comment and repair give 400,
//   reading works); 410 archive
//   corrupt (also: repair found nothing to rescue); 420 wrong disk inserted
//   repeatedly (3 times); 430 the archive is spanned (changing a spanned set, or
//   reading one with property 10 off). Deleting every entry leaves a valid empty
//   archive (status 0); 380 is never returned.
// Per-entry problems raise event 10 and let the method go on; the method then
// returns 0 when it did its work otherwise, except test (200 when any entry failed)
// and extract (200 when an entry had a data error).
// ---------------------------------------------------------------------------------

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace quarva::engine {

// Status codes.
constexpr std::int16_t kStatusOk = 0;
constexpr std::int16_t kStatusArchiveNotFound = 100;
constexpr std::int16_t kStatusZeroLength = 110;
constexpr std::int16_t kStatusNoMemory = 120;
constexpr std::int16_t kStatusConfiguration = 130;
constexpr std::int16_t kStatusNoMatches = 140;
constexpr std::int16_t kStatusDiskFull = 150;
constexpr std::int16_t kStatusUnexpectedEof = 160;
constexpr std::int16_t kStatusUserAborted = 190;
constexpr std::int16_t kStatusCrcFailed = 200;
constexpr std::int16_t kStatusCouldNotTest = 210;
constexpr std::int16_t kStatusUnexpected = 250;
constexpr std::int16_t kStatusDuplicateNames = 370;
constexpr std::int16_t kStatusEmptyArchive = 380;
constexpr std::int16_t kStatusAccess = 400;
constexpr std::int16_t kStatusCorrupt = 410;
constexpr std::int16_t kStatusWrongDisk = 420;
constexpr std::int16_t kStatusSpanned = 430;

// A short English text for a status (for tools; the archive manager has its own).
const char* statusText(std::int16_t status);

enum class Property : int {
    Abort = 1,
    Level = 2,
    WipeDisk = 3,
    ExtractFolder = 4,
    IncludeHidden = 6,
    DeleteAfterAdding = 9,
    Spanning = 10,
    Overwrite = 11,
    Password = 12,
    Recurse = 13,
    SavePathInfo = 16,
    ArchiveName = 18,
    DiskCount = 19,
    Comment = 20,
    Names = 21,
    Aes256 = 40,
    Threads = 41,
    NamesCharset = 42,
};
enum class Method : int { Test = 22, Repair = 23, Add = 24, Extract = 25, List = 26, Delete = 28 };
enum class EventId : int {
    Starting = 1,
    Deleted = 2,
    Progress = 3,
    Listed = 6,
    DiskRequest = 7,
    PasswordRequest = 8,
    Skipped = 10,
    Processed = 11,
    Tested = 12,
    Finished = 13,
};

enum class SkipReason : std::int16_t {
    Exists = 1,
    UnsafeName = 2,
    UnsupportedMethod = 3,
    Password = 4,
    Crc = 5,
    Damaged = 6,
    CannotWrite = 7,
    CannotRead = 8,
    LinkOutside = 9,
    UnsupportedEncryption = 10,
    Overlap = 11,
    NotRegular = 12,
};
const char* skipReasonText(std::int16_t reason);
// The reason in words, with what an entry the engine cannot decode would need
// ("unsupported compression method: PPMd", "unsupported encryption: strong
// encryption"); `method` and `encryption` as the entry's record carries them.
std::string skipReasonText(std::int16_t reason, std::int16_t method, std::int16_t encryption);

// The entry record of events 1, 3, 6, 11, 12, 13 (see above for each value).
struct EntryRecord {
    std::string name;             // "\" separators
    std::int32_t size = 0;        // 1
    std::int32_t packedSize = 0;  // 2
    std::int32_t done = 0;        // 3
    std::int16_t attributes = 0;  // 4
    std::string modified;         // 5 "dd-mm-yy hh:mm"
    std::int32_t crc = 0;         // 6
    std::int16_t ratio = 0;       // 7
    std::int16_t percent = 0;     // 8
    std::int16_t method = 0;      // 9
    std::int16_t disk = 1;        // 10
    std::int16_t encryption = 0;  // 11
    std::string comment;          // 12
    // Full-width values for C++ callers (not part of the dispatch record).
    std::uint64_t size64 = 0, packedSize64 = 0;
    std::int64_t mtime = 0;  // seconds since the epoch
};

// Typed events. Every handler has an empty default; override what you need.
class ZipEngineEvents {
public:
    virtual ~ZipEngineEvents() = default;
    virtual void onStarting(const EntryRecord&) {}          // 1
    virtual void onDeleted(const std::string& /*name*/) {}  // 2
    virtual void onProgress(const EntryRecord&) {}          // 3
    virtual void onListed(const EntryRecord&) {}            // 6
    virtual void onDiskRequest(std::int16_t /*disk*/) {}    // 7
    // 8: set action = 2 and password to retry.
    virtual void onPasswordRequest(const std::string& /*archive*/, std::string& /*password*/,
                                   std::int16_t& /*action*/) {}
    virtual void onSkipped(const std::string& /*name*/, std::int16_t /*reason*/) {}  // 10
    virtual void onProcessed(const EntryRecord&) {}                                  // 11
    virtual void onTested(const EntryRecord&) {}                                     // 12
    virtual void onFinished(const EntryRecord&) {}                                   // 13
};

// A value on the dispatch surface.
using DispatchValue = std::variant<std::monostate, bool, std::int16_t, std::int32_t, std::string>;
// A dispatch event: id and arguments in order. For an entry record: name then the
// 12 values (int32, int32, int32, int16, string, int32, int16, int16, int16, int16,
// int16, string). For event 8 the handler may change args[1] (string) and args[2]
// (int16): they are read back after the call.
using DispatchEventHandler = std::function<void(int eventId, std::vector<DispatchValue>& args)>;

// The record as dispatch arguments (name + 12 values).
std::vector<DispatchValue> toDispatchArgs(const EntryRecord& record);

class ZipEngine {
public:
    ZipEngine();
    ~ZipEngine();
    ZipEngine(const ZipEngine&) = delete;
    ZipEngine& operator=(const ZipEngine&) = delete;

    // --- typed properties ---
    void setAbort(bool on) { abort_.store(on); }
    bool abortRequested() const { return abort_.load(); }
    void setLevel(std::int16_t level) { level_ = level; }
    std::int16_t level() const { return level_; }
    void setWipeDisk(bool on) { wipeDisk_ = on; }
    bool wipeDisk() const { return wipeDisk_; }
    void setExtractFolder(const std::string& folder) { extractFolder_ = folder; }
    const std::string& extractFolder() const { return extractFolder_; }
    void setIncludeHidden(bool on) { includeHidden_ = on; }
    bool includeHidden() const { return includeHidden_; }
    void setDeleteAfterAdding(bool on) { deleteAfterAdding_ = on; }
    bool deleteAfterAdding() const { return deleteAfterAdding_; }
    void setSpanning(bool on) { spanning_ = on; }
    bool spanning() const { return spanning_; }
    void setOverwrite(std::int16_t mode) { overwrite_ = mode; }
    std::int16_t overwrite() const { return overwrite_; }
    void setPassword(const std::string& password) { password_ = password; }
    const std::string& password() const { return password_; }
    void setRecurse(bool on) { recurse_ = on; }
    bool recurse() const { return recurse_; }
    void setSavePathInfo(bool on) { savePathInfo_ = on; }
    bool savePathInfo() const { return savePathInfo_; }
    void setArchiveName(const std::string& path) { archiveName_ = path; }
    const std::string& archiveName() const { return archiveName_; }
    std::int16_t diskCount();                          // 19
    std::string comment();                             // 20 read: the archive's comment
    std::int16_t setComment(const std::string& text);  // 20 write: status
    void setNames(const std::string& names) { names_ = names; }
    const std::string& names() const { return names_; }
    void setAes256(bool on) { aes256_ = on; }
    bool aes256() const { return aes256_; }
    void setThreads(std::int16_t n) { threads_ = n; }
    std::int16_t threads() const { return threads_; }
    // False (and nothing changes) for a set iconv does not know.
    bool setNamesCharset(const std::string& charset);
    const std::string& namesCharset() const { return namesCharset_; }

    // --- typed methods (status codes above) ---
    std::int16_t test();                      // 22
    std::int16_t repair(std::int16_t mode);   // 23
    std::int16_t add(std::int16_t action);    // 24
    std::int16_t extract(std::int16_t mode);  // 25
    std::int16_t list();                      // 26
    std::int16_t deleteEntries();             // 28

    // --- events ---
    // Typed sink (not owned; may be null). Both the sink and the dispatch handler
    // are called when both are set.
    void setEvents(ZipEngineEvents* sink) { sink_ = sink; }
    void setEventHandler(DispatchEventHandler handler) { handler_ = std::move(handler); }

    // --- dispatch surface ---
    // false for an unknown id, a read-only property or a value of the wrong type
    // (int16 and int32 and bool convert into each other), and for property 20 when
    // the archive could not be rewritten (setComment gives the status).
    bool setProperty(int id, const DispatchValue& value);
    // monostate for an unknown id.
    DispatchValue getProperty(int id);
    // Calls method `id` with its int16 argument (ignored by test, list, delete);
    // 130 for an unknown id.
    std::int16_t invoke(int id, std::int16_t argument = 0);

    // Internal: raises an event to the sink and the handler.
    class Raiser;

private:
    friend class Raiser;
    std::atomic<bool> abort_{false};
    std::int16_t level_ = 6;
    bool wipeDisk_ = false;
    std::string extractFolder_;
    bool includeHidden_ = false;
    bool deleteAfterAdding_ = false;
    bool spanning_ = false;
    std::int16_t overwrite_ = 0;
    std::string password_;
    bool recurse_ = false;
    bool savePathInfo_ = true;
    std::string archiveName_;
    std::string names_;
    bool aes256_ = false;
    std::int16_t threads_ = 0;
    std::string namesCharset_;
    ZipEngineEvents* sink_ = nullptr;
    DispatchEventHandler handler_;
};

}  // namespace quarva::engine
