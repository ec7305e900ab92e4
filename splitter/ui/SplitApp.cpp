// The application object of the splitter window: the window is the whole program, and
// the program ends when it closes.
#include <wx/app.h>
#include <wx/init.h>

#include "splitter/ui/SplitterWindow.h"
#include "splitter/ui/VantorSplitDlg.h"

namespace quarva::splitter::ui {

namespace {

class CSplitApp : public wxApp {
public:
    CSplitApp(std::string file, std::string programFolder, std::string automationClient)
        : file_(std::move(file)), programFolder_(std::move(programFolder)), client_(std::move(automationClient)) {}
    bool OnInit() override {
        SetAppName("QuarvaSplit");
        auto* window = new CVantorSplitDlg(file_, programFolder_);
        if (!client_.empty() && !window->ServeAutomation(client_)) {
            window->Destroy();
            return false;
        }
        window->Centre();
        window->Show();
        SetTopWindow(window);
        return true;
    }

private:
    std::string file_, programFolder_, client_;
};

}  // namespace

int runSplitterWindow(int argc, char** argv, const std::string& commandLineFile, const std::string& programFolder,
                      const std::string& automationClient) {
    // The arguments were parsed already; wx sees only the program name.
    (void)argc;
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    wxApp::SetInstance(new CSplitApp(commandLineFile, programFolder, automationClient));
    return wxEntry(wxArgc, wxArgv);
}

}  // namespace quarva::splitter::ui
