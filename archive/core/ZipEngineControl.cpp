// Our zip engine behind the dispatch surface the archive manager drives.

#include "archive/core/EngineControl.h"

#include "archive/core/OutcomeCode.h"
#include "engine/ZipEngine.h"

namespace quarva::archive {

// The numbers the manager drives the engine by are the engine's own.
namespace {
constexpr int number(engine::Property p) { return static_cast<int>(p); }
constexpr int number(engine::Method m) { return static_cast<int>(m); }
constexpr int number(engine::EventId e) { return static_cast<int>(e); }
}  // namespace
static_assert(dispid::kAbort == number(engine::Property::Abort));
static_assert(dispid::kSkippedExisting == std::int16_t(engine::SkipReason::Exists));
static_assert(dispid::kLevel == number(engine::Property::Level));
static_assert(dispid::kWipeDisk == number(engine::Property::WipeDisk));
static_assert(dispid::kExtractFolder == number(engine::Property::ExtractFolder));
static_assert(dispid::kIncludeHidden == number(engine::Property::IncludeHidden));
static_assert(dispid::kDeleteAfterAdding == number(engine::Property::DeleteAfterAdding));
static_assert(dispid::kSpanning == number(engine::Property::Spanning));
static_assert(dispid::kOverwrite == number(engine::Property::Overwrite));
static_assert(dispid::kPassword == number(engine::Property::Password));
static_assert(dispid::kRecurse == number(engine::Property::Recurse));
static_assert(dispid::kSavePathInfo == number(engine::Property::SavePathInfo));
static_assert(dispid::kArchiveName == number(engine::Property::ArchiveName));
static_assert(dispid::kDiskCount == number(engine::Property::DiskCount));
static_assert(dispid::kComment == number(engine::Property::Comment));
static_assert(dispid::kNames == number(engine::Property::Names));
static_assert(dispid::kNamesCharset == number(engine::Property::NamesCharset));
static_assert(dispid::kTest == number(engine::Method::Test));
static_assert(dispid::kRepair == number(engine::Method::Repair));
static_assert(dispid::kAdd == number(engine::Method::Add));
static_assert(dispid::kExtract == number(engine::Method::Extract));
static_assert(dispid::kList == number(engine::Method::List));
static_assert(dispid::kDelete == number(engine::Method::Delete));
static_assert(dispid::kEventStarting == number(engine::EventId::Starting));
static_assert(dispid::kEventDeleted == number(engine::EventId::Deleted));
static_assert(dispid::kEventProgress == number(engine::EventId::Progress));
static_assert(dispid::kEventListed == number(engine::EventId::Listed));
static_assert(dispid::kEventDiskRequest == number(engine::EventId::DiskRequest));
static_assert(dispid::kEventPassword == number(engine::EventId::PasswordRequest));
static_assert(dispid::kEventSkipped == number(engine::EventId::Skipped));
static_assert(dispid::kEventProcessed == number(engine::EventId::Processed));
static_assert(dispid::kEventTested == number(engine::EventId::Tested));
static_assert(dispid::kEventFinished == number(engine::EventId::Finished));
// The engine's status codes are the outcome codes of the same name.
static_assert(engine::kStatusOk == OutcomeCode::Ok);
static_assert(engine::kStatusArchiveNotFound == OutcomeCode::ArchiveNotFound);
static_assert(engine::kStatusZeroLength == OutcomeCode::ZeroLength);
static_assert(engine::kStatusNoMemory == OutcomeCode::NoMemory);
static_assert(engine::kStatusConfiguration == OutcomeCode::Configuration);
static_assert(engine::kStatusNoMatches == OutcomeCode::NoMatches);
static_assert(engine::kStatusDiskFull == OutcomeCode::DiskFull);
static_assert(engine::kStatusUnexpectedEof == OutcomeCode::UnexpectedEof);
static_assert(engine::kStatusUserAborted == OutcomeCode::UserAborted);
static_assert(engine::kStatusCrcFailed == OutcomeCode::CrcFailed);
static_assert(engine::kStatusCouldNotTest == OutcomeCode::CouldNotTest);
static_assert(engine::kStatusUnexpected == OutcomeCode::Unexpected);
static_assert(engine::kStatusDuplicateNames == OutcomeCode::DuplicateNames);
static_assert(engine::kStatusEmptyArchive == OutcomeCode::EmptyArchive);
static_assert(engine::kStatusAccess == OutcomeCode::Access);
static_assert(engine::kStatusCorrupt == OutcomeCode::Corrupt);
static_assert(engine::kStatusWrongDisk == OutcomeCode::WrongDisk);
static_assert(engine::kStatusSpanned == OutcomeCode::Spanned);

namespace {

EntryValues toValues(const engine::EntryRecord& r) {
    EntryValues v;
    v.name = r.name;
    // The typed record carries the full 64-bit sizes; the dispatch values saturate.
    v.size = r.size64 ? r.size64 : static_cast<std::uint32_t>(r.size);
    v.packedSize = r.packedSize64 ? r.packedSize64 : static_cast<std::uint32_t>(r.packedSize);
    bool complete = r.done == r.size;
    v.done = complete ? v.size : static_cast<std::uint32_t>(r.done);
    v.attributes = r.attributes;
    v.modified = r.modified;
    v.crc = static_cast<std::uint32_t>(r.crc);
    v.ratio = r.ratio;
    v.percent = r.percent;
    v.method = r.method;
    v.disk = r.disk;
    v.encryption = r.encryption;
    v.comment = r.comment;
    return v;
}

class ZipEngineControl : public IEngineControl, private engine::ZipEngineEvents {
public:
    ZipEngineControl() { engine_.setEvents(this); }

    bool setProperty(int id, const EngineValue& value) override {
        engine::DispatchValue v = std::visit([](const auto& x) -> engine::DispatchValue { return x; }, value);
        return engine_.setProperty(id, v);
    }
    EngineValue getProperty(int id) override {
        engine::DispatchValue v = engine_.getProperty(id);
        return std::visit([](const auto& x) -> EngineValue { return x; }, v);
    }
    std::int16_t invoke(int id, std::int16_t argument) override { return engine_.invoke(id, argument); }
    void setEventSink(IEngineEventSink* sink) override { sink_ = sink; }

private:
    void onStarting(const engine::EntryRecord& r) override { entry(dispid::kEventStarting, r); }
    void onDeleted(const std::string& name) override {
        if (sink_) sink_->onEngineDeleted(name);
    }
    void onProgress(const engine::EntryRecord& r) override { entry(dispid::kEventProgress, r); }
    void onListed(const engine::EntryRecord& r) override { entry(dispid::kEventListed, r); }
    void onDiskRequest(std::int16_t disk) override {
        if (sink_) sink_->onEngineDiskRequest(disk);
    }
    void onPasswordRequest(const std::string& archive, std::string& password, std::int16_t& action) override {
        if (sink_) sink_->onEnginePassword(archive, password, action);
    }
    void onSkipped(const std::string& name, std::int16_t reason) override {
        if (sink_) sink_->onEngineSkipped(name, reason);
    }
    void onProcessed(const engine::EntryRecord& r) override { entry(dispid::kEventProcessed, r); }
    void onTested(const engine::EntryRecord& r) override { entry(dispid::kEventTested, r); }
    void onFinished(const engine::EntryRecord& r) override { entry(dispid::kEventFinished, r); }

    void entry(int id, const engine::EntryRecord& r) {
        if (sink_) sink_->onEngineEntry(id, toValues(r));
    }

    engine::ZipEngine engine_;
    IEngineEventSink* sink_ = nullptr;
};

}  // namespace

std::unique_ptr<IEngineControl> createZipEngineControl() { return std::make_unique<ZipEngineControl>(); }

}  // namespace quarva::archive
