#include "archive/ui/QuarvaZipWxApp.h"

#include <wx/docview.h>

#include "archive/core/Associations.h"
#include "archive/ui/ArchiveDocument.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/MainFrame.h"

namespace quarva::archive::ui {

bool CQuarvaZipWxApp::OnInit()
{
    SetAppName(kAppName);
    SetVendorName("quarva software");

    app_ = std::make_unique<CQuarvaZipApp>(SettingsStore::fromEnvironment(), prompts_);
    if (!app_->readInstallation()) return false;
    app_->prepareFolders();
    app_->openDeletionList();

    docManager_ = new wxDocManager;
    new wxDocTemplate(docManager_, "Archive", "*.*", "", "", "Archive Document", "Archive View",
                      CLASSINFO(CArchiveDocument), CLASSINFO(CLeftView));
    docManager_->SetMaxDocsOpen(1);

    app_->parseCommandLine(params_);
    frame_ = new CMainFrame(docManager_, WindowPlacement::load(app_->store()));
    SetTopWindow(frame_);
    prompts_.setParent(frame_);
    if (!docManager_->CreateNewDocument()) return false;

    app_->loadSettings();
    frame_->setFlatView(app_->flatView != 0);
    frame_->SetTitle(kAppName);
    WindowPlacement saved = WindowPlacement::load(app_->store());
    frame_->showInState(saved.show);

    registerAssociations(app_->libraryPath, nullptr, prompts_, app_->store().registry());
    return true;
}

int CQuarvaZipWxApp::OnExit()
{
    if (app_) app_->exitInstance();
    delete docManager_;
    docManager_ = nullptr;
    return wxApp::OnExit();
}

}  // namespace quarva::archive::ui
