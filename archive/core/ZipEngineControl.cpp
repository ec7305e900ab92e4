// Our zip engine behind the dispatch surface the archive manager drives.

#include "archive/core/EngineControl.h"

#include "engine/ZipEngine.h"

namespace quarva::archive {

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
