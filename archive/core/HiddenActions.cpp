#include "archive/core/HiddenActions.h"

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "archive/core/ArchiveSession.h"
#include "archive/core/CommandLineActions.h"
#include "archive/core/PathText.h"
#include "platform/Interrupt.h"

namespace quarva::archive {

namespace {

// The busy dialog of a run without a window shows nothing, but it watches for an
// interrupt (Ctrl-C, SIGTERM, SIGHUP) while its operation runs, and cancels the
// operation as its "Cancel" would: the engine's abort property, or the format
// library's Abort. The operation stops cooperatively and removes its temporaries.
class InterruptWatchingBusyDialog : public IBusyDialog {
public:
    explicit InterruptWatchingBusyDialog(std::function<void()> cancel) : cancel_(std::move(cancel)) {
        watcher_ = std::thread([this] { watch(); });
    }
    ~InterruptWatchingBusyDialog() override {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        watcher_.join();
    }
    void setText(const std::string&) override {}
    void hideCancel() override {}

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
            // Asked again on every round: an engine clears its abort when a method
            // starts, and the interrupt may come just before that.
            if (platform::interruptRequested()) cancel_();
        }
    }

    std::function<void()> cancel_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread watcher_;
};

class InterruptWatchingBusyFactory : public IBusyDialogFactory {
public:
    explicit InterruptWatchingBusyFactory(CArchiveSession& session) : session_(session) {}
    std::unique_ptr<IBusyDialog> create(std::function<void()>) override {
        // Only the engine's abort property and the library's Abort may be touched
        // from another thread while an operation runs; the choice between them is
        // made here, on the operation's thread.
        IArchiveBackend* backend = &session_.doc.wrapper().backend();
        std::function<void()> cancel = [backend] { backend->abort(); };
        return std::make_unique<InterruptWatchingBusyDialog>(std::move(cancel));
    }

private:
    CArchiveSession& session_;
};

}  // namespace

std::unique_ptr<IBusyDialogFactory> createInterruptWatchingBusyFactory(CArchiveSession& session) {
    return std::make_unique<InterruptWatchingBusyFactory>(session);
}

bool isHiddenSwitch(const std::string& switchName) {
    return switchName == "noadddialog" || switchName == "zipandmail" || switchName == "mail" || switchName == "SFX" ||
           switchName == "noextractdialog";
}

int runHiddenAction(CQuarvaZipApp& app, platform::Launcher& launcher) {
    const std::string& sw = app.commandLine.switchName();
    if (!isHiddenSwitch(sw)) {
        std::cerr << "QuarvaZip: there is no display, so the main window cannot open"
                  << (sw.empty() ? std::string() : " for the switch /" + sw) << ".\n";
        return 1;
    }
    {
        CArchiveSession session(app, launcher, createZipEngineControl());
        InterruptWatchingBusyFactory watching(session);
        session.busyFactory = &watching;  // the watcher is never shown
        ActionContext context{session, sw, app.commandLine.argument(), ShowState::Show};
        runCommandLineAction(context);
    }
    // Nobody can open the log window here: what the operations reported goes to stdout.
    if (!app.activityLog.empty()) std::cout << withSlashes(app.activityLog) << std::flush;
    if (platform::interruptRequested()) return 128 + platform::interruptSignal();
    return 0;
}

}  // namespace quarva::archive
