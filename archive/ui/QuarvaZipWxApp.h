#pragma once
// The wx application of the archive manager: runs the start-up steps in order,
// creates the single-document frame, and deletes the run's temporary files at exit.

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "archive/core/QuarvaZipApp.h"
#include "platform/ui/WxPrompts.h"

class wxDocManager;

namespace quarva::archive::ui {

class CMainFrame;

class CQuarvaZipWxApp : public wxApp {
public:
    explicit CQuarvaZipWxApp(std::vector<std::string> params) : params_(std::move(params)) {}
    bool OnInit() override;
    int OnExit() override;

    CQuarvaZipApp& app() { return *app_; }
    CMainFrame* mainFrame() const { return frame_; }

private:
    std::vector<std::string> params_;
    platform::WxPrompts prompts_;
    std::unique_ptr<CQuarvaZipApp> app_;
    wxDocManager* docManager_ = nullptr;
    CMainFrame* frame_ = nullptr;
};

}  // namespace quarva::archive::ui
