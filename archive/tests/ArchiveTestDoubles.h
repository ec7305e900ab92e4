#pragma once
// Stand-ins for the engines and the window, shared by the archive logic tests: a
// scripted compression engine, a scripted format library that sends its window
// messages with real records, a busy dialog that records its texts, and a main
// window that records what it was asked.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/commands/BusyDialog.h"
#include "archive/commands/MainFrameActions.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/EngineControl.h"
#include "archive/core/FormatLibraryCalls.h"
#include "formatlib/FormatLibrary.h"
#include "platform/testing/RecordingLauncher.h"
#include "platform/testing/ScriptedPrompts.h"
#include "platform/testing/TestSupport.h"

namespace quarva::archive::testing {

namespace fs = std::filesystem;
using platform::Answer;
using platform::Buttons;
using platform::Icon;
using platform::MessageBoxRequest;

class FakeEngine : public IEngineControl {
public:
    std::map<int, EngineValue> properties;
    std::vector<std::pair<int, EngineValue>> sets;
    std::vector<std::pair<int, std::int16_t>> invokes;
    // Runs inside invoke: raise events through sink(), return the status.
    std::function<std::int16_t(int id, std::int16_t argument)> onInvoke;
    std::function<void()> onAbortSet;

    bool setProperty(int id, const EngineValue& value) override {
        properties[id] = value;
        sets.emplace_back(id, value);
        if (id == dispid::kAbort && std::holds_alternative<bool>(value) && std::get<bool>(value) && onAbortSet)
            onAbortSet();
        return true;
    }
    EngineValue getProperty(int id) override {
        auto it = properties.find(id);
        return it == properties.end() ? EngineValue{} : it->second;
    }
    std::int16_t invoke(int id, std::int16_t argument) override {
        invokes.emplace_back(id, argument);
        return onInvoke ? onInvoke(id, argument) : 0;
    }
    void setEventSink(IEngineEventSink* s) override { sink_ = s; }
    IEngineEventSink& sink() { return *sink_; }

    std::string str(int id) { return stringProperty(id); }
    bool flag(int id) { return boolProperty(id); }
    std::int16_t num(int id) {
        auto v = getProperty(id);
        if (auto s = std::get_if<std::int16_t>(&v)) return *s;
        return -1;
    }

private:
    IEngineEventSink* sink_ = nullptr;
};

class FakeLibrary : public IFormatLibrary {
public:
    struct Call {
        std::string entry;
        std::vector<std::string> args;
    };
    std::vector<Call> calls;
    int status = code(OutcomeCode::Ok);
    int count = 1;
    std::function<void(const Call&, platform::WindowHandle)> onCall;

    int listArchive(const std::string& a, const std::string& f, platform::WindowHandle w) override {
        return record({"ListArchive", {a, f}}, w);
    }
    int compressFile(const std::string& a, const std::string& files, const std::string& password, bool hidden,
                     bool deleteAfter, bool savePath, bool subfolders, platform::WindowHandle w) override {
        return record({"CompressFile", {a, files, password, b(hidden), b(deleteAfter), b(savePath), b(subfolders)}}, w);
    }
    int extractFile(const std::string& a, const std::string& files, const std::string& dest, bool overwrite, bool paths,
                    platform::WindowHandle w) override {
        return record({"ExtractFile", {a, files, dest, b(overwrite), b(paths)}}, w);
    }
    int deleteFile(const std::string& a, const std::string& files, platform::WindowHandle w) override {
        return record({"DeleteFile", {a, files}}, w);
    }
    int testArchive(const std::string& a, const std::string& files, platform::WindowHandle w) override {
        return record({"TestArchive", {a, files}}, w);
    }
    int arcToSfx(const std::string& a, const std::string& out, const std::string& sys,
                 platform::WindowHandle w) override {
        return record({"ArcToSFX", {a, out, sys}}, w);
    }
    int fileCount(const std::string& a, int& c) override {
        c = count;
        return record({"FileCount", {a}}, nullptr);
    }
    int abort() override { return record({"Abort", {}}, nullptr); }

private:
    static std::string b(bool v) { return v ? "1" : "0"; }
    int record(Call call, platform::WindowHandle w) {
        calls.push_back(call);
        if (status == OutcomeCode::Ok && onCall) onCall(call, w);
        return status;
    }
};

// Sends the format library's messages with records that live only for the call.
struct LibraryMessages {
    static void listed(platform::WindowHandle w, const std::string& name, std::uint32_t size,
                       unsigned message = formatlib::kMsgListed) {
        formatlib::ListingRecord r{};
        r.name = name.c_str();
        r.modified = "01-02-24 10:30";
        r.packedSize = size / 2;
        r.size = size;
        r.ratio = 50;
        r.crc = 0x1234;
        r.attributes = 0x20;
        r.method = 8;
        r.methodName = "deflate";
        platform::SendMessage(w, message, reinterpret_cast<std::uintptr_t>(&r), 0);
    }
    static void error(platform::WindowHandle w, const std::string& entry, const std::string& file,
                      const std::string& cause, const std::string& details) {
        formatlib::ErrorRecord r{entry.c_str(), file.c_str(), nullptr, cause.c_str(), details.c_str()};
        platform::SendMessage(w, formatlib::kMsgError, reinterpret_cast<std::uintptr_t>(&r), 0);
    }
};

class RecordingBusyFactory : public IBusyDialogFactory {
public:
    struct Shared {
        std::vector<std::string> texts;  // every text set, "<created>" / "<closed>" marks
        int open = 0;
        bool cancelHidden = false;
        std::function<void()> cancel;
    };
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();

    std::unique_ptr<IBusyDialog> create(std::function<void()> onCancel) override {
        shared->texts.push_back("<created>");
        ++shared->open;
        shared->cancel = std::move(onCancel);
        return std::make_unique<Dialog>(shared);
    }
    const std::vector<std::string>& texts() const { return shared->texts; }

private:
    class Dialog : public IBusyDialog {
    public:
        explicit Dialog(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        ~Dialog() override {
            s_->texts.push_back("<closed>");
            --s_->open;
        }
        void setText(const std::string& t) override { s_->texts.push_back(t); }
        void hideCancel() override { s_->cancelHidden = true; }

    private:
        std::shared_ptr<Shared> s_;
    };
};

class RecordingFrame : public IMainFrameActions {
public:
    std::vector<std::string> log;
    std::vector<std::string> addFolders, addFiles;
    bool findInZip = false;
    bool newDiskDialog = false;
    std::vector<std::optional<bool>> newDiskAnswers;

    void setStatusText(const std::string& t) override { log.push_back("status:" + t); }
    void refreshTotals() override { log.push_back("totals"); }
    void setTitle(const std::string& t) override { log.push_back("title:" + t); }
    void enableFilterBox(bool on) override { log.push_back(on ? "filter:on" : "filter:off"); }
    void showArchiveTree() override { log.push_back("tree"); }
    void addFilterEntry(const std::string& t) override { log.push_back("filter-entry:" + t); }
    void clearViews() override { log.push_back("clear"); }
    void addToRecentMenu(const std::string& p) override { log.push_back("recent:" + p); }
    void removeFromRecentMenu(const std::string& p) override { log.push_back("unrecent:" + p); }
    void showActivityLog() override { log.push_back("showlog"); }
    void showWindow(ShowState s) override { log.push_back("show:" + std::to_string(static_cast<int>(s))); }
    void startAddCommand(const std::vector<std::string>& folders, const std::vector<std::string>& files) override {
        log.push_back("add");
        addFolders = folders;
        addFiles = files;
    }
    void startExtractCommand() override { log.push_back("extract"); }
    void releaseSystemImageLists() override { log.push_back("release-images"); }
    bool runFindInZip() override {
        log.push_back("findinzip");
        return findInZip;
    }
    bool hasNewDiskDialog() const override { return newDiskDialog; }
    std::optional<bool> askNewDisk(int disk) override {
        log.push_back("newdisk:" + std::to_string(disk));
        if (newDiskAnswers.empty()) return std::nullopt;
        auto a = newDiskAnswers.front();
        newDiskAnswers.erase(newDiskAnswers.begin());
        return a;
    }
    bool has(const std::string& entry) const {
        for (const auto& l : log)
            if (l == entry) return true;
        return false;
    }
};

// A session in a fresh folder with its own registry, scripted prompts, a recording
// busy dialog and a recording main window; startSession gives it its engines.
class SessionFixture : public quarva::testing::FolderTest {
protected:
    void startSession(std::unique_ptr<IEngineControl> engineControl, std::unique_ptr<IFormatLibrary> formatLibrary) {
        app = std::make_unique<CQuarvaZipApp>(SettingsStore(platform::Registry(registryDir())), prompts);
        session = std::make_unique<CArchiveSession>(*app, launcher, std::move(engineControl), std::move(formatLibrary));
        session->busyFactory = &busy;
        session->setFrame(&frame);
    }
    void TearDown() override {
        session.reset();
        app.reset();
        FolderTest::TearDown();
    }

    COperationState& state() { return session->progress.state; }
    std::string& activityLog() { return app->activityLog; }
    std::vector<platform::MessageBoxRequest> boxes() const { return prompts.boxes(); }

    platform::testing::ScriptedPrompts prompts;
    platform::testing::RecordingLauncher launcher;
    RecordingBusyFactory busy;
    RecordingFrame frame;
    std::unique_ptr<CQuarvaZipApp> app;
    std::unique_ptr<CArchiveSession> session;
};

// A session over scripted engines.
class SessionTest : public SessionFixture {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        auto e = std::make_unique<FakeEngine>();
        auto l = std::make_unique<FakeLibrary>();
        engine = e.get();
        library = l.get();
        startSession(std::move(e), std::move(l));
    }

    FakeEngine* engine = nullptr;
    FakeLibrary* library = nullptr;
};

// A fresh folder with scripted prompts, for the steps that run before a session.
class PromptsTest : public quarva::testing::FolderTest {
protected:
    platform::testing::ScriptedPrompts prompts;
};

inline EntryValues entry(const std::string& name, std::uint64_t size = 100) {
    EntryValues v;
    v.name = name;
    v.size = size;
    v.done = size;
    v.packedSize = size / 2;
    v.modified = "01-02-24 10:30";
    v.ratio = 50;
    return v;
}

}  // namespace quarva::archive::testing
