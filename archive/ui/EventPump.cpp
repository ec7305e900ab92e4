#include "archive/ui/EventPump.h"

namespace quarva::archive::ui {

void CEventPump::operator()() {
    if (inside_ || !yield_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return;
    inside_ = true;
    yield_();
    inside_ = false;
    last_ = std::chrono::steady_clock::now();
}

namespace {

class PumpingSink : public IEngineEventSink {
public:
    PumpingSink(IEngineEventSink* target, CEventPump& pump) : target_(target), pump_(pump) {}
    void onEngineEntry(int eventId, const EntryValues& values) override {
        target_->onEngineEntry(eventId, values);
        pump_();
    }
    void onEngineDeleted(const std::string& name) override {
        target_->onEngineDeleted(name);
        pump_();
    }
    void onEngineDiskRequest(std::int16_t disk) override { target_->onEngineDiskRequest(disk); }
    void onEnginePassword(const std::string& archive, std::string& password, std::int16_t& action) override {
        target_->onEnginePassword(archive, password, action);
    }
    void onEngineSkipped(const std::string& name, std::int16_t reason) override {
        target_->onEngineSkipped(name, reason);
        pump_();
    }

private:
    IEngineEventSink* target_;
    CEventPump& pump_;
};

class PumpingEngine : public IEngineControl {
public:
    PumpingEngine(std::unique_ptr<IEngineControl> inner, CEventPump& pump) : inner_(std::move(inner)), pump_(pump) {}
    bool setProperty(int id, const EngineValue& value) override { return inner_->setProperty(id, value); }
    EngineValue getProperty(int id) override { return inner_->getProperty(id); }
    std::int16_t invoke(int id, std::int16_t argument) override { return inner_->invoke(id, argument); }
    void setEventSink(IEngineEventSink* sink) override {
        sink_ = sink ? std::make_unique<PumpingSink>(sink, pump_) : nullptr;
        inner_->setEventSink(sink_.get());
    }

private:
    std::unique_ptr<IEngineControl> inner_;
    CEventPump& pump_;
    std::unique_ptr<PumpingSink> sink_;
};

class PumpingWindow : public platform::MessageWindow {
public:
    PumpingWindow(platform::WindowHandle target, CEventPump& pump) : target_(target), pump_(pump) {}
    std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::intptr_t result = platform::SendMessage(target_, message, wParam, lParam);
        pump_();
        return result;
    }

private:
    platform::WindowHandle target_;
    CEventPump& pump_;
};

class PumpingLibrary : public IFormatLibrary {
public:
    PumpingLibrary(std::unique_ptr<IFormatLibrary> inner, CEventPump& pump) : inner_(std::move(inner)), pump_(pump) {}
    int listArchive(const std::string& archive, const std::string& filters, platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->listArchive(archive, filters, &relay);
    }
    int compressFile(const std::string& archive, const std::string& files, const std::string& password,
                     bool hiddenFiles, bool deleteAfter, bool savePathInfo, bool subfolders,
                     platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->compressFile(archive, files, password, hiddenFiles, deleteAfter, savePathInfo, subfolders,
                                    &relay);
    }
    int extractFile(const std::string& archive, const std::string& files, const std::string& destination,
                    bool overwrite, bool useStoredPaths, platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->extractFile(archive, files, destination, overwrite, useStoredPaths, &relay);
    }
    int deleteFile(const std::string& archive, const std::string& files, platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->deleteFile(archive, files, &relay);
    }
    int testArchive(const std::string& archive, const std::string& files, platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->testArchive(archive, files, &relay);
    }
    int arcToSfx(const std::string& archive, const std::string& output, const std::string& systemFolder,
                 platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->arcToSfx(archive, output, systemFolder, &relay);
    }
    int arcToArc(const std::string& source, const std::string& target, int formatCode,
                 platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->arcToArc(source, target, formatCode, &relay);
    }
    int encode(const std::string& source, const std::string& target, int method, bool writeTable,
               platform::WindowHandle window) override {
        PumpingWindow relay(window, pump_);
        return inner_->encode(source, target, method, writeTable, &relay);
    }
    int fileCount(const std::string& archive, int& count) override { return inner_->fileCount(archive, count); }
    int abort() override { return inner_->abort(); }
    int archiveType(const std::string& archive, int& kind, std::string& found) override {
        return inner_->archiveType(archive, kind, found);
    }

private:
    std::unique_ptr<IFormatLibrary> inner_;
    CEventPump& pump_;
};

}  // namespace

std::unique_ptr<IEngineControl> pumpingEngine(std::unique_ptr<IEngineControl> engine, CEventPump& pump) {
    if (!engine) return nullptr;
    return std::make_unique<PumpingEngine>(std::move(engine), pump);
}

std::unique_ptr<IFormatLibrary> pumpingLibrary(std::unique_ptr<IFormatLibrary> library, CEventPump& pump) {
    return std::make_unique<PumpingLibrary>(std::move(library), pump);
}

}  // namespace quarva::archive::ui
