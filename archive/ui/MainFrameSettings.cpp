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

// The favourites' question, also written to the window's trace (its text, caption
// and proposed answer) before it is shown; message boxes are traced by the prompts.
class CTracedPrompts : public platform::Prompts {
public:
    CTracedPrompts(platform::Prompts& inner, TraceLine trace) : inner_(inner), trace_(std::move(trace)) {}

    platform::Answer messageBox(const platform::MessageBoxRequest& r) override { return inner_.messageBox(r); }
    std::optional<std::string> askText(const platform::TextRequest& r) override {
        trace_("question: " + r.text + " | " + r.caption + " | " + r.initial);
        return inner_.askText(r);
    }
    std::optional<std::filesystem::path> chooseFile(const platform::FileRequest& r) override {
        return inner_.chooseFile(r);
    }

private:
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
    CConfigSheet sheet(this, ConfigSheetValues::fromApp(session_.app),
                       [this](const std::string& line) { trace(line); });
    if (showDialog(sheet) != wxID_OK) return;
    ConfigApplied applied = applyConfiguration(sheet.values(), session_.app, session_.prompts);
    if (applied.viewChanged) list_->applyViewBits(session_.app.configuration.viewBits);
    placement().save(session_.app.store());
    trace("configuration saved");
}

void CMainFrame::onCreateShortcut() {
    std::filesystem::path link = createDesktopShortcut(session_.doc.archivePath, session_.prompts);
    if (!link.empty()) trace("shortcut: " + link.string());
}

void CMainFrame::onAddToFavorites() {
    CTracedPrompts prompts(session_.prompts, [this](const std::string& line) { trace(line); });
    addToFavourites(session_.doc.archivePath, prompts);
}

}  // namespace quarva::archive::ui
