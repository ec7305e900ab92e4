#include "archive/ui/QuarvaZipWxApp.h"

#include <wx/docview.h>

#include "archive/core/Associations.h"
#include "archive/ui/ArchiveDocument.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/TipDlg.h"
#include "archive/ui/MainFrame.h"

namespace quarva::archive::ui {

namespace {
// The folder of the running program, where tips.txt is installed beside it.
std::filesystem::path programFolder() {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path(ec) : self.parent_path();
}
}  // namespace

bool CQuarvaZipWxApp::OnInit() {
    SetAppName(kAppName);
    SetVendorName("quarva software");

    app_ = std::make_unique<CQuarvaZipApp>(SettingsStore::fromEnvironment(), prompts_);
    if (!app_->readInstallation()) return false;
    app_->prepareFolders();
    if (!app_->openDeletionList()) return false;

    docManager_ = new wxDocManager;
    new wxDocTemplate(docManager_, "Archive", "*.*", "", "", "Archive Document", "Archive View",
                      CLASSINFO(CArchiveDocument), CLASSINFO(CLeftView));
    docManager_->SetMaxDocsOpen(1);

    if (!app_->parseCommandLine(params_)) return false;
    frame_ = new CMainFrame(docManager_, WindowPlacement::load(app_->store()));
    SetTopWindow(frame_);
    prompts_.setParent(frame_);
    if (!docManager_->CreateNewDocument()) return false;

    app_->loadSettings();
    frame_->setFlatView(app_->flatView);
    frame_->SetTitle(kAppName);
    WindowPlacement saved = WindowPlacement::load(app_->store());
    frame_->showInState(saved.show);

    registerAssociations(app_->libraryPath, nullptr, prompts_, app_->store().registry());

    // The tip of the day, once the main loop runs, unless the user switched it off.
    if (CTipFile::showAtStartup(app_->store())) {
        CallAfter([this] {
            CTipDlg dialog(frame_, app_->store(), programFolder() / kTipsFileName);
            dialog.ShowModal();
        });
    }
    return true;
}

int CQuarvaZipWxApp::OnExit() {
    if (app_) app_->exitInstance();
    delete docManager_;
    docManager_ = nullptr;
    return wxApp::OnExit();
}

}  // namespace quarva::archive::ui
