#pragma once
// The 16-bit status every archive operation returns: success, the compression
// engine's error codes, and the codes the archive manager adds for the format
// library. The outcome table gives most of them a message.

#include <cstdint>

namespace quarva::archive {

enum class OutcomeCode : std::uint16_t {
    Ok = 0,
    ArchiveNotFound = 100,
    ZeroLength = 110,  // empty file, or not a zip
    NoMemory = 120,
    Configuration = 130,
    NoMatches = 140,
    DiskFull = 150,
    UnexpectedEof = 160,
    LibraryInUse = 180,
    UserAborted = 190,
    CrcFailed = 200,
    CouldNotTest = 210,
    CouldNotLoad = 240,
    Unexpected = 250,
    NothingTested = 280,
    RemovesParentFolder = 350,
    DuplicateNames = 370,
    EmptyArchive = 380,
    Access = 400,
    Corrupt = 410,
    WrongDisk = 420,
    Spanned = 430,
    LibraryNotLoaded = 1000,     // the format library (or the engine) cannot be loaded
    LibraryNoEntryPoint = 1010,  // the format library lacks the entry point
    ListingError = 1100,         // the format library reported an error while listing
    NoCentralDirectory = 1110,   // a zip read by its local headers cannot be changed
};

constexpr std::uint16_t code(OutcomeCode outcome) { return static_cast<std::uint16_t>(outcome); }
// A status of any integer width against a named code.
constexpr bool operator==(long long status, OutcomeCode outcome) { return status == code(outcome); }

// The library (or engine) could not be loaded or lacks the entry point: nothing ran.
constexpr bool engineUnreachable(int status) {
    return status == OutcomeCode::LibraryNotLoaded || status == OutcomeCode::LibraryNoEntryPoint;
}

}  // namespace quarva::archive
