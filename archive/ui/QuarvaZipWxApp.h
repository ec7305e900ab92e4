#pragma once
// The wx application of the archive manager: runs the start-up steps in order,
// creates the archive session and the main frame, carries out the command line's
// action once the window stands, and deletes the run's temporary files at exit.

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "archive/core/QuarvaZipApp.h"
#include "platform/Launcher.h"
#include "platform/ui/WxPrompts.h"

namespace quarva::archive {
class CArchiveSession;
}

namespace quarva::archive::ui {

class CMainFrame;
class CEventPump;
class CThreadDlgFactory;

class CQuarvaZipWxApp : public wxApp {
public:
    explicit CQuarvaZipWxApp(std::vector<std::string> params);
    ~CQuarvaZipWxApp() override;
    bool OnInit() override;
    int OnExit() override;

    CQuarvaZipApp& app() { return *app_; }
    CMainFrame* mainFrame() const { return frame_; }

private:
    std::vector<std::string> params_;
    platform::WxPrompts prompts_;
    platform::ProcessLauncher launcher_;
    std::unique_ptr<CQuarvaZipApp> app_;
    std::unique_ptr<CEventPump> pump_;
    std::unique_ptr<CArchiveSession> session_;
    std::unique_ptr<CThreadDlgFactory> busyFactory_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace quarva::archive::ui
