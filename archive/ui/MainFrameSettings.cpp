// The main window's settings and links: the "Configuration" sheet and the save
// after its "OK" (the settings, then the window's restored placement), the desktop
// shortcut and the favourites.

#include "archive/ui/MainFrame.h"

#include "archive/core/ArchiveSession.h"
#include "archive/ui/ConfigSheet.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/utilities/ConfigPages.h"
#include "archive/utilities/Shortcuts.h"

namespace quarva::archive::ui {

namespace {

// The boxes and questions of these commands, also written to the window's trace
// (text with its line ends as "\n", caption, buttons, icon, default button) before
// they are shown.
class CTracedPrompts : public platform::Prompts {
public:
    CTracedPrompts(platform::Prompts& inner, TraceLine trace) : inner_(inner), trace_(std::move(trace)) {}

    platform::Answer messageBox(const platform::MessageBoxRequest& r) override {
        static const char* const kButtons[] = {"Ok",          "OkCancel", "AbortRetryIgnore",
                                               "YesNoCancel", "YesNo",    "RetryCancel"};
        static const char* const kIcons[] = {"None", "Stop", "Question", "Exclamation", "Information"};
        trace_("box: " + oneLine(r.text) + " | " + r.caption + " | " + kButtons[static_cast<int>(r.buttons)] + " | " +
               kIcons[static_cast<int>(r.icon)] + " | default " + std::to_string(r.defaultButton));
        return inner_.messageBox(r);
    }
    std::optional<std::string> askText(const platform::TextRequest& r) override {
        trace_("question: " + oneLine(r.text) + " | " + r.caption + " | " + oneLine(r.initial));
        return inner_.askText(r);
    }
    std::optional<std::filesystem::path> chooseFile(const platform::FileRequest& r) override {
        return inner_.chooseFile(r);
    }

private:
    static std::string oneLine(const std::string& text) {
        std::string out;
        for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
        return out;
    }
    platform::Prompts& inner_;
    TraceLine trace_;
};

}  // namespace

void CMainFrame::trackRestoredPlacement() {
    restoredRect_ = GetRect();
    // Only a window that is neither maximised nor minimised shows its restored rectangle.
    auto note = [this](wxEvent& event) {
        event.Skip();
        if (IsShown() && !IsMaximized() && !IsIconized()) restoredRect_ = GetRect();
    };
    Bind(wxEVT_SIZE, note);
    Bind(wxEVT_MOVE, note);
}

WindowPlacement CMainFrame::placement() const {
    WindowPlacement p;
    const wxRect r = IsMaximized() || IsIconized() ? restoredRect_ : GetRect();
    p.x = r.x;
    p.y = r.y;
    p.width = r.width;
    p.height = r.height;
    p.treeShown = !classicView();
    p.show = IsMaximized() ? ShowState::Maximized : IsIconized() ? ShowState::Minimized : ShowState::Show;
    return p;
}

void CMainFrame::onConfiguration() {
    TraceLine traceLine = [this](const std::string& line) { trace(line); };
    CConfigSheet sheet(this, ConfigSheetValues::fromApp(session_.app), traceLine);
    if (showDialog(sheet) != wxID_OK) return;
    CTracedPrompts prompts(session_.prompts, traceLine);
    ConfigApplied applied = applyConfiguration(sheet.values(), session_.app, prompts);
    if (applied.viewChanged) list_->applyViewBits(session_.app.configuration.viewBits);
    placement().save(session_.app.store());
    trace("configuration saved");
}

void CMainFrame::onCreateShortcut() {
    CTracedPrompts prompts(session_.prompts, [this](const std::string& line) { trace(line); });
    std::filesystem::path link = createDesktopShortcut(session_.doc.archivePath, prompts);
    if (!link.empty()) trace("shortcut: " + link.string());
}

void CMainFrame::onAddToFavorites() {
    CTracedPrompts prompts(session_.prompts, [this](const std::string& line) { trace(line); });
    addToFavourites(session_.doc.archivePath, prompts);
}

}  // namespace quarva::archive::ui
