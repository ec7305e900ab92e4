#include "archive/ui/QuarvaZipWxApp.h"

#include "archive/core/ArchiveSession.h"
#include "archive/core/Associations.h"
#include "archive/core/CommandLineActions.h"
#include "archive/ui/EventPump.h"
#include "archive/ui/MainFrame.h"
#include "archive/ui/ThreadDlg.h"
#include "archive/ui/TipDlg.h"

namespace quarva::archive::ui {

namespace {
// The folder of the running program, where tips.txt is installed beside it.
std::filesystem::path programFolder() {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path(ec) : self.parent_path();
}
}  // namespace

CQuarvaZipWxApp::CQuarvaZipWxApp(std::vector<std::string> params) : params_(std::move(params)) {}
CQuarvaZipWxApp::~CQuarvaZipWxApp() = default;

bool CQuarvaZipWxApp::OnInit() {
    SetAppName(kAppName);
    SetVendorName("quarva software");

    app_ = std::make_unique<CQuarvaZipApp>(SettingsStore::fromEnvironment(), prompts_);
    if (!app_->readInstallation()) return false;
    app_->prepareFolders();
    if (!app_->openDeletionList()) return false;
    if (!app_->parseCommandLine(params_)) return false;
    app_->loadSettings();

    // Operations run on this thread; between two engine reports the event loop
    // turns, with the main window disabled while the busy dialog stands.
    pump_ = std::make_unique<CEventPump>([] {
        if (wxTheApp) wxTheApp->Yield(true);
    });
    session_ = std::make_unique<CArchiveSession>(
        *app_, launcher_, pumpingEngine(createZipEngineControl(), *pump_),
        pumpingLibrary(createFormatLibrary([this] { return app_->libraryPath; }), *pump_));

    WindowPlacement saved = WindowPlacement::load(app_->store());
    frame_ = new CMainFrame(*session_, saved);
    SetTopWindow(frame_);
    prompts_.setParent(frame_);
    prompts_.setObserver([this](const platform::MessageBoxRequest& box) {
        if (frame_) frame_->traceBox(box);
    });
    session_->setFrame(frame_);
    busyFactory_ = std::make_unique<CThreadDlgFactory>(frame_);
    session_->busyFactory = busyFactory_.get();
    if (app_->flatView) frame_->switchToClassic(true);
    // The find-in-zip mode shows its dialog alone.
    if (app_->commandLine.switchName() != "findinzip") frame_->showInState(saved.show);

    if (registerAssociations(app_->libraryPath, nullptr, prompts_, app_->store().registry()))
        associateWithDesktop(app_->configuration.systemBits, launcher_);

    // The command line's action once the main loop runs, then the tip of the day
    // unless the user switched it off.
    CallAfter([this, saved] {
        ActionContext context{*session_, app_->commandLine.switchName(), app_->commandLine.argument(), saved.show};
        if (!runCommandLineAction(context)) {
            frame_->Close();
            return;
        }
        if (CTipFile::showAtStartup(app_->store())) {
            CTipDlg dialog(frame_, app_->store(), programFolder() / kTipsFileName);
            dialog.ShowModal();
        }
    });
    return true;
}

int CQuarvaZipWxApp::OnExit() {
    // The frame is gone: boxes of the last steps have no parent and no trace.
    frame_ = nullptr;
    prompts_.setParent(nullptr);
    prompts_.setObserver(nullptr);
    if (session_) {
        session_->busyFactory = nullptr;
        session_->setFrame(nullptr);
    }
    if (app_) app_->exitInstance();
    return wxApp::OnExit();
}

}  // namespace quarva::archive::ui
