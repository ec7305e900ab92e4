#pragma once
// The compression engine as the archive manager drives it: properties and methods
// by number, and its events delivered to one sink. The real control wraps our zip
// engine; tests put a scripted one in its place.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "archive/core/ZipFileInfo.h"

namespace quarva::archive {

// Property, method and event numbers of the engine's dispatch surface.
namespace dispid {
constexpr int kAbort = 1, kLevel = 2, kWipeDisk = 3, kExtractFolder = 4, kIncludeHidden = 6, kDeleteAfterAdding = 9,
              kSpanning = 10, kOverwrite = 11, kPassword = 12, kRecurse = 13, kSavePathInfo = 16, kArchiveName = 18,
              kDiskCount = 19, kComment = 20, kNames = 21;
// The character set of legacy zip names ("" automatic); see engine/ZipEngine.h.
constexpr int kNamesCharset = 42;
constexpr int kTest = 22, kRepair = 23, kAdd = 24, kExtract = 25, kList = 26, kDelete = 28;
constexpr int kEventStarting = 1, kEventDeleted = 2, kEventProgress = 3, kEventListed = 6, kEventDiskRequest = 7,
              kEventPassword = 8, kEventSkipped = 10, kEventProcessed = 11, kEventTested = 12, kEventFinished = 13;
// The reason of a skipped file when the file was left alone on purpose (it exists and
// is not to be overwritten); every other reason is a failure.
constexpr std::int16_t kSkippedExisting = 1;
}  // namespace dispid

using EngineValue = std::variant<std::monostate, bool, std::int16_t, std::int32_t, std::string>;

// The receiver of the engine's events (the main frame's progress handler).
class IEngineEventSink {
public:
    virtual ~IEngineEventSink() = default;
    // Events 1, 3, 6, 11, 12 and 13.
    virtual void onEngineEntry(int eventId, const EntryValues& values) = 0;
    virtual void onEngineDeleted(const std::string& name) = 0;  // 2
    virtual void onEngineDiskRequest(std::int16_t disk) = 0;    // 7
    virtual void onEnginePassword(const std::string& archive, std::string& password,
                                  std::int16_t& action) = 0;                         // 8
    virtual void onEngineSkipped(const std::string& name, std::int16_t reason) = 0;  // 10
};

class IEngineControl {
public:
    virtual ~IEngineControl() = default;
    virtual bool setProperty(int id, const EngineValue& value) = 0;
    virtual EngineValue getProperty(int id) = 0;
    // Method `id` with its 16-bit argument; the engine's 16-bit status.
    virtual std::int16_t invoke(int id, std::int16_t argument = 0) = 0;
    // The sink receives every event, on the caller's thread, while a method runs.
    virtual void setEventSink(IEngineEventSink* sink) = 0;

    bool boolProperty(int id);
    std::string stringProperty(int id);
};

// Our zip engine behind the dispatch surface.
std::unique_ptr<IEngineControl> createZipEngineControl();

}  // namespace quarva::archive
