#pragma once
// The format library's binary interface, shared by the library (libqzip32.so) and
// every host that loads it (the archive manager, the shell extension, qzip).
//
// Entry points have C linkage and are looked up by name after dlopen. Texts are
// zero-terminated UTF-8. "files" is a list of names, each in double quotes, joined
// by "|" ("\"a.txt\"|\"docs\\b.txt\""); "filters" are patterns joined by "|", or
// "*.*". Names inside an archive use "\" between folders; host paths use "/".
// "window" is a platform::WindowHandle that receives the messages below,
// synchronously, on the thread that made the call.
//
// Records passed in a message live only for the duration of that SendMessage
// call: a host that keeps anything must copy it while handling the message.
//
// Record layouts. On a 32-bit build the byte offsets are exactly those in the
// tables (checked by static assertions below); on a 64-bit build the same fields
// come in the same order, pointers pointer-sized and naturally aligned.
//
//   ListingRecord (messages 10000 listed, 10002 added or extracted)
//     off  width  field
//       0  ptr    name            entry path inside the archive, "\" between folders
//       4  8      reserved        zero
//      12  32     crc             the format's CRC of the data (CRC-32 zip, CRC-16 lha), else 0
//      16  ptr    modified        "dd-mm-yy hh:mm", local time
//      20  32     packedSize      bytes the entry takes in the archive (estimate for solid formats)
//      24  32     size            uncompressed size (saturated at 0xFFFFFFFF)
//      28  16(+16) ratio          compression ratio in percent, 0..100
//      32  16(+16) attributes     0x01 read-only, 0x10 folder, 0x20 archive
//      36  16(+16) method         format-specific method number (0 stored)
//      40  ptr    methodName      method text ("lh5", "deflate", "stored", ...)
//
//   CompletionRecord (message 1067; defined for hosts, the library itself reports
//   completions through 10002)
//       0  32     reserved
//       4  ptr    methodName
//       8  ptr    modified
//      12  16(+16) method
//      16  32     size
//      20  ptr    namePlace       points to a place holding a pointer to a wide name
//
//   ErrorRecord (message 10004)
//       0  ptr    entryName       the listed entry's name ("" when none)
//       4  ptr    fileName        the file the error is about (entry or host path)
//       8  ptr    reserved        null
//      12  ptr    cause           short cause text
//      16  ptr    details         details text ("" when none)
//
// Message parameters, as the window's first (wParam) and second (lParam) parameter:
//   10000, 10002, 1067  wParam = the record's address, lParam = 0
//   10004               wParam = the ErrorRecord's address, lParam = 0
//   10003               wParam = the deleted name (zero-terminated), lParam = 0
//   10005               wParam = the archive kind (0 zip, 3 cab, 10 other), lParam = 0
//   10007               wParam = the tested name, lParam = 1 passed, 0 failed or skipped
//   10008               wParam = a SearchMatch's address (text search, our addition)
//   10009               wParam = how the call ended (our addition, sent last by every entry
//                       point that takes a window): 0 all went well, 1 done but some
//                       entries were skipped or reported, 2 failed (nothing was changed)
//   10010               wParam = a ProgressRecord's address (our addition): how many bytes
//                       of the work are done, sent now and then (after each MiB or so and
//                       at the end of a step); hosts that do not know it ignore it
//
//   ProgressRecord (message 10010; the same layout on every build)
//       0  64     done            bytes done so far: of the archive read (extract, test,
//                                 convert), of the files added (add), or unpacked by an
//                                 outside program; never more than total when total is known
//       8  64     total           the bytes `done` counts towards, 0 when not known

#include <cstddef>
#include <cstdint>

#include "platform/WindowMessages.h"

namespace quarva::formatlib {

// Window message numbers.
constexpr unsigned kMsgListed = 10000;
constexpr unsigned kMsgIgnored1 = 10001;
constexpr unsigned kMsgProcessed = 10002;
constexpr unsigned kMsgDeleted = 10003;
constexpr unsigned kMsgError = 10004;
constexpr unsigned kMsgArchiveKind = 10005;
constexpr unsigned kMsgIgnored6 = 10006;
constexpr unsigned kMsgTested = 10007;
constexpr unsigned kMsgSearchMatch = 10008;
constexpr unsigned kMsgFinished = 10009;
constexpr unsigned kMsgProgress = 10010;
constexpr unsigned kMsgCompletion = 1067;

// The outcomes reported with kMsgFinished.
constexpr unsigned kOutcomeOk = 0;
constexpr unsigned kOutcomeSkipped = 1;
constexpr unsigned kOutcomeFailed = 2;

// Archive kinds reported with kMsgArchiveKind.
constexpr unsigned kKindZip = 0;  // zip data (also inside a self-extracting program)
constexpr unsigned kKindCab = 3;
constexpr unsigned kKindOther = 10;  // any other format of this library

// Host-side status codes of a call through the loader.
constexpr int kStatusOk = 0;
constexpr int kStatusNotLoaded = 1000;
constexpr int kStatusNoEntryPoint = 1010;

// ArcToArc format codes.
enum FormatCode : int {
    kFormatBlakHole = 0,
    kFormatCab = 1,
    kFormatLha = 2,
    kFormatZip = 3,
    kFormatTar = 4,
    kFormatTarGz = 5,
    kFormatJar = 6,
};

// Encode methods.
constexpr int kEncodeUU = 0;
constexpr int kEncodeXX = 1;

struct ListingRecord {
    const char* name;
    std::uint32_t reserved[2];
    std::uint32_t crc;
    const char* modified;
    std::uint32_t packedSize;
    std::uint32_t size;
    std::uint16_t ratio;
    std::uint16_t pad0;
    std::uint16_t attributes;
    std::uint16_t pad1;
    std::uint16_t method;
    std::uint16_t pad2;
    const char* methodName;
};

struct CompletionRecord {
    std::uint32_t reserved;
    const char* methodName;
    const char* modified;
    std::uint16_t method;
    std::uint16_t pad0;
    std::uint32_t size;
    const wchar_t* const* namePlace;
};

struct ErrorRecord {
    const char* entryName;
    const char* fileName;
    const void* reserved;
    const char* cause;
    const char* details;
};

// One find of the text search (message 10008).
struct SearchMatch {
    const char* entryName;
    std::uint32_t lineNumber;  // 1-based
    const char* lineText;      // without its line end
};

// Byte progress (message 10010).
struct ProgressRecord {
    std::uint64_t done;
    std::uint64_t total;
};
static_assert(offsetof(ProgressRecord, total) == 8 && sizeof(ProgressRecord) == 16);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(ListingRecord, name) == 0);
static_assert(offsetof(ListingRecord, crc) == 12);
static_assert(offsetof(ListingRecord, modified) == 16);
static_assert(offsetof(ListingRecord, packedSize) == 20);
static_assert(offsetof(ListingRecord, size) == 24);
static_assert(offsetof(ListingRecord, ratio) == 28);
static_assert(offsetof(ListingRecord, attributes) == 32);
static_assert(offsetof(ListingRecord, method) == 36);
static_assert(offsetof(ListingRecord, methodName) == 40);
static_assert(sizeof(ListingRecord) == 44);
static_assert(offsetof(CompletionRecord, methodName) == 4);
static_assert(offsetof(CompletionRecord, modified) == 8);
static_assert(offsetof(CompletionRecord, method) == 12);
static_assert(offsetof(CompletionRecord, size) == 16);
static_assert(offsetof(CompletionRecord, namePlace) == 20);
static_assert(offsetof(ErrorRecord, entryName) == 0);
static_assert(offsetof(ErrorRecord, fileName) == 4);
static_assert(offsetof(ErrorRecord, cause) == 12);
static_assert(offsetof(ErrorRecord, details) == 16);
#else
static_assert(offsetof(ListingRecord, name) == 0);
static_assert(offsetof(ListingRecord, reserved) == sizeof(void*));
static_assert(offsetof(ListingRecord, crc) < offsetof(ListingRecord, modified));
static_assert(offsetof(ListingRecord, modified) % alignof(const char*) == 0);
static_assert(offsetof(ListingRecord, packedSize) < offsetof(ListingRecord, size));
static_assert(offsetof(ListingRecord, size) < offsetof(ListingRecord, ratio));
static_assert(offsetof(ListingRecord, ratio) + 4 == offsetof(ListingRecord, attributes));
static_assert(offsetof(ListingRecord, attributes) + 4 == offsetof(ListingRecord, method));
static_assert(offsetof(ErrorRecord, cause) == 3 * sizeof(void*));
static_assert(offsetof(ErrorRecord, details) == 4 * sizeof(void*));
#endif

}  // namespace quarva::formatlib

// Entry points, as exported by the library (C linkage, looked up by these names).
extern "C" {
typedef void (*QzListArchiveFn)(const char* archive, const char* filters, quarva::platform::WindowHandle window);
typedef void (*QzCompressFileFn)(const char* archive, const char* files, const char* password, int hiddenFiles,
                                 int deleteAfter, int savePathInfo, int subfolders,
                                 quarva::platform::WindowHandle window);
typedef void (*QzExtractFileFn)(const char* archive, const char* files, const char* destination, int overwrite,
                                int useStoredPaths, quarva::platform::WindowHandle window);
typedef void (*QzDeleteFileFn)(const char* archive, const char* files, quarva::platform::WindowHandle window);
typedef void (*QzTestArchiveFn)(const char* archive, const char* files, quarva::platform::WindowHandle window);
typedef void (*QzExtractFileWithPasswordFn)(const char* archive, const char* files, const char* destination,
                                            int overwrite, int useStoredPaths, const char* password,
                                            quarva::platform::WindowHandle window);
typedef void (*QzTestArchiveWithPasswordFn)(const char* archive, const char* files, const char* password,
                                            quarva::platform::WindowHandle window);
typedef void (*QzArcToSFXFn)(const char* archive, const char* output, const char* systemFolder,
                             quarva::platform::WindowHandle window);
typedef void (*QzArcToArcFn)(const char* source, const char* target, int formatCode, int reserved,
                             quarva::platform::WindowHandle window);
typedef void (*QzEncodeFn)(const char* source, const char* target, int method, int writeTable,
                           quarva::platform::WindowHandle window);
typedef int (*QzFileCountFn)(const char* archive);
typedef void (*QzTurboFindFn)(const char* archive);
typedef void (*QzTurboFindTextFn)(const char* archive, const char* text, int matchCase,
                                  quarva::platform::WindowHandle window);
typedef void (*QzAssociateFn)(quarva::platform::WindowHandle window);
typedef void (*QzAbortFn)();
// Our addition: what a file's content is, by the formats' bids (the extension only
// breaks ties): kKindZip for zip data (also behind a program stub), kKindCab,
// kKindOther; -1 when no format recognises it, -2 when the file cannot be read.
// `found` (foundSize bytes, may be null) receives the format's name ("tar.xz", "rar")
// or, for -1, what the file holds ("plain text").
typedef int (*QzArchiveTypeFn)(const char* archive, char* found, int foundSize);
}
