#include "splitter/ui/VantorSplitDlg.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dnd.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/gauge.h>
#include <wx/html/helpctrl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/thread.h>
#include <wx/tooltip.h>
#include <wx/utils.h>

#include "platform/ui/HelpBook.h"
#include "platform/ui/TrayIcon.h"
#include "splitter/SplitTexts.h"
#include "splitter/ui/AboutDlg.h"
#include "splitter/ui/SettingsPane.h"
#include "splitter/ui/SizeMenuButton.h"
#include "splitter/ui/SplitIcon.h"

namespace quarva::splitter::ui {

namespace {

enum {
    ID_GENERAL_SETTINGS = wxID_HIGHEST + 1,
    ID_ALWAYS_ON_TOP,
    ID_MOVE_TO_TRAY,
    ID_HELP_CONTENTS,
    ID_SIZE_FIRST,  // one id per SizeChoice, in its order
    ID_SIZE_LAST = ID_SIZE_FIRST + static_cast<int>(SizeChoice::Files),
};

wxString text(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string utf8(const wxString& s) { return std::string(s.utf8_str()); }

// Files and folders dropped anywhere on the window.
class CDropTarget : public wxFileDropTarget {
public:
    explicit CDropTarget(CVantorSplitDlg* window) : window_(window) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::string> paths;
        for (const wxString& name : names) paths.push_back(utf8(name));
        window_->OnDropped(paths);
        return true;
    }

private:
    CVantorSplitDlg* window_;
};

void setLabelIfChanged(wxWindow* w, const std::string& label) {
    const wxString l = text(label);
    if (w->GetLabel() != l) w->SetLabel(l);
}

}  // namespace

CVantorSplitDlg::CVantorSplitDlg(std::string commandLineFile, const std::string& programFolder)
    : wxFrame(nullptr, wxID_ANY, texts::kAppCaption, wxDefaultPosition, wxDefaultSize,
              (wxDEFAULT_FRAME_STYLE & ~(wxMAXIMIZE_BOX | wxRESIZE_BORDER)) | wxTAB_TRAVERSAL),
      commandLineFile_(std::move(commandLineFile)) {
    prompts_.setParent(this);
    SetIcons(splitterIcons());
    model_ = std::make_unique<splitter::CVantorSplitDlg>(prompts_, programFolder);
    model_->SetCommandLineFile(commandLineFile_);
    model_->setPump([] {
        if (wxTheApp) wxTheApp->Yield(true);
    });
    model_->setObserver([this](const SplitterView&) { OnViewChanged(); });
    // Test hook: a pause at every checkpoint of a job, so that a test can press Cancel
    // while the job runs.
    if (const char* ms = std::getenv("QUARVA_SPLIT_TEST_CHECKPOINT_MS")) {
        const int delay = std::atoi(ms);
        model_->setCheckpointHook([delay](long) { std::this_thread::sleep_for(std::chrono::milliseconds(delay)); });
    }

    BuildMenus();
    BuildControls();
    AddTooltips();
    panel_->SetDropTarget(new CDropTarget(this));
    Bind(wxEVT_CLOSE_WINDOW, &CVantorSplitDlg::OnCloseWindow, this);
    Bind(wxEVT_CHAR_HOOK, &CVantorSplitDlg::OnCharHook, this);

    // Test hook: under a display without a window manager nothing can be dragged onto the
    // window, so a test writes the paths to drop, one per line, into this file.
    if (const char* drop = std::getenv("QUARVA_SPLIT_TEST_DROP")) {
        testDropFile_ = drop;
        testHook_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTestHookTimer(); });
        testHook_.Start(200);
    }
    CallAfter([this] { InitDialog(); });
}

CVantorSplitDlg::~CVantorSplitDlg() {
    testHook_.Stop();
    delete help_;
    proxy_.reset();  // the window goes first: the proxy's link is cleared
    if (tray_) tray_->remove();
    model_->setObserver({});
    model_->setPump({});
}

void CVantorSplitDlg::BuildMenus() {
    auto* file = new wxMenu;
    file->Append(ID_MOVE_TO_TRAY, "&Move to tray");
    file->Append(wxID_CLOSE, "&Close");
    auto* settings = new wxMenu;
    settingsItem_ = settings->Append(ID_GENERAL_SETTINGS, "General &Settings");
    onTopItem_ = settings->AppendCheckItem(ID_ALWAYS_ON_TOP, "&Always On Top");
    auto* help = new wxMenu;
    help->Append(ID_HELP_CONTENTS, "&Contents");
    help->Append(wxID_ABOUT, "&About");
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(settings, "&Settings");
    bar->Append(help, "&Help");
    SetMenuBar(bar);

    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_CLOSE);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { MoveToTray(); }, ID_MOVE_TO_TRAY);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { model_->ToggleSettingsPane(); }, ID_GENERAL_SETTINGS);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowAbout(); }, wxID_ABOUT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowHelp(HelpTarget::ContentsCommand); }, ID_HELP_CONTENTS);
    // F1 on a highlighted menu item: its topic, where the menu lets the key through.
    Bind(wxEVT_MENU_HIGHLIGHT, [this](wxMenuEvent& e) {
        highlightedMenu_ = e.GetMenuId();
        e.Skip();
    });
    Bind(wxEVT_MENU_CLOSE, [this](wxMenuEvent& e) {
        highlightedMenu_ = wxID_NONE;
        e.Skip();
    });
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            SetWindowStyleFlag(GetWindowStyleFlag() ^ wxSTAY_ON_TOP);
            onTopItem_->Check((GetWindowStyleFlag() & wxSTAY_ON_TOP) != 0);
        },
        ID_ALWAYS_ON_TOP);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent& e) {
            model_->ChooseSize(static_cast<SizeChoice>(e.GetId() - ID_SIZE_FIRST));
            if (model_->view().customBoxVisible) customBox_->SetFocus();
            else SetFocus();
        },
        ID_SIZE_FIRST, ID_SIZE_LAST);
}

void CVantorSplitDlg::BuildControls() {
    panel_ = new wxPanel(this, wxID_ANY);
    auto* top = new wxBoxSizer(wxVERTICAL);

    // Mode group and the two command buttons beside it.
    auto* head = new wxBoxSizer(wxHORIZONTAL);
    auto* mode = new wxStaticBoxSizer(wxHORIZONTAL, panel_, "Mode");
    splitRadio_ =
        new wxRadioButton(mode->GetStaticBox(), wxID_ANY, "Spli&t", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    rejoinRadio_ = new wxRadioButton(mode->GetStaticBox(), wxID_ANY, "Rejoi&n");
    mode->Add(splitRadio_, 0, wxALL | wxALIGN_CENTER_VERTICAL, 6);
    mode->Add(rejoinRadio_, 0, wxALL | wxALIGN_CENTER_VERTICAL, 6);
    head->Add(mode, 1, wxEXPAND | wxRIGHT, 10);
    auto* commands = new wxBoxSizer(wxVERTICAL);
    actionButton_ = new wxButton(panel_, wxID_ANY, texts::kSplitAction);
    cancelButton_ = new wxButton(panel_, wxID_ANY, "&Cancel");
    commands->Add(actionButton_, 0, wxEXPAND | wxBOTTOM, 4);
    commands->Add(cancelButton_, 0, wxEXPAND);
    head->Add(commands, 0, wxALIGN_BOTTOM);
    top->Add(head, 0, wxEXPAND | wxALL, 8);

    // Source and destination.
    auto* choosers = new wxFlexGridSizer(2, 6, 10);
    choosers->AddGrowableCol(1);
    sourceLabel_ = new wxStaticText(panel_, wxID_ANY, "Source file:");
    fileButton_ = new wxButton(panel_, wxID_ANY, "Select a fi&le");
    destinationLabel_ = new wxStaticText(panel_, wxID_ANY, "Choose destination");
    destinationButton_ = new wxButton(panel_, wxID_ANY, "&Destination folder");
    choosers->Add(sourceLabel_, 0, wxALIGN_CENTER_VERTICAL);
    choosers->Add(fileButton_, 0, wxEXPAND);
    choosers->Add(destinationLabel_, 0, wxALIGN_CENTER_VERTICAL);
    choosers->Add(destinationButton_, 0, wxEXPAND);
    top->Add(choosers, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

    sizeLabel_ = new wxStaticText(panel_, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    top->Add(sizeLabel_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 8);

    // Chunk size.
    auto* size = new wxBoxSizer(wxHORIZONTAL);
    sizeButton_ = new CSizeMenuButton(panel_, wxID_ANY, "Custom si&ze");
    sizeButton_->onClick = [this] {
        model_->ChooseSize(SizeChoice::Bytes);
        customBox_->SetFocus();
    };
    sizeButton_->onArrow = [this] { OpenSizeMenu(); };
    customLabel_ = new wxStaticText(panel_, wxID_ANY, texts::kInKiloBytes);
    customBox_ = new wxTextCtrl(panel_, wxID_ANY, "", wxDefaultPosition, wxSize(110, -1));
    size->Add(sizeButton_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
    size->Add(customLabel_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    size->Add(customBox_, 0, wxALIGN_CENTER_VERTICAL);
    top->Add(size, 0, wxEXPAND | wxALL, 8);

    progressLabel_ = new wxStaticText(panel_, wxID_ANY, "Processed: 0\nRemaining: 0");
    // Its two lines keep their room while it is hidden, so the window need not grow.
    top->Add(progressLabel_, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxRESERVE_SPACE_EVEN_IF_HIDDEN, 8);

    pane_ = new CSettingsPaneWnd(panel_, model_->settingsPane(), model_->settings(), prompts_,
                                 [this](int word) { model_->OnSettingsDone(word); });
    top->Add(pane_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 4);
    panel_->SetSizer(top);

    // Status bar: right edges at 10 %, 50 % and 70 % of the width; the progress bar in part 3.
    CreateStatusBar(4);
    SetStatusBarPane(-1);  // the parts have fixed meanings: no menu help in part 0
    progressBar_ = new wxGauge(GetStatusBar(), wxID_ANY, 100);
    progressBar_->Hide();
    GetStatusBar()->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        PlaceProgressBar();
        e.Skip();
    });

    splitRadio_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { model_->SetMode(true); });
    rejoinRadio_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { model_->SetMode(false); });
    fileButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { model_->OnSelectFile(); });
    destinationButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { model_->OnDestinationFolder(); });
    actionButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { model_->OnAction(); });
    cancelButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { model_->OnCancelOperation(); });
    customBox_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { model_->SetCustomSizeText(utf8(customBox_->GetValue())); });
    fileButton_->SetDefault();

    // The size button has no mnemonic of its own (it is not a native button); Escape is
    // "&Cancel", as in a dialog.
    wxAcceleratorEntry keys[] = {wxAcceleratorEntry(wxACCEL_ALT, 'Z', sizeButton_->GetId()),
                                 wxAcceleratorEntry(wxACCEL_NORMAL, WXK_ESCAPE, cancelButton_->GetId())};
    SetAcceleratorTable(wxAcceleratorTable(2, keys));
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { model_->OnCancelOperation(); }, cancelButton_->GetId());
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            if (sizeButton_->IsShownOnScreen() && sizeButton_->IsEnabled()) sizeButton_->onClick();
        },
        sizeButton_->GetId());

    // Measure the window without the settings pane; it opens below the controls on demand.
    pane_->Hide();
    customLabel_->Hide();
    customBox_->Hide();
    progressLabel_->Hide();
    const wxSize best = panel_->GetSizer()->GetMinSize();
    SetClientSize(wxSize(std::max(best.x, 540), best.y + GetStatusBar()->GetSize().y));
    heightWithoutPane_ = GetSize().y;
    LayoutStatusBar();
}

void CVantorSplitDlg::AddTooltips() {
#ifdef __WXMSW__
    wxToolTip::SetMaxWidth(150);  // GTK wraps tooltips itself
#endif
    fileButton_->SetToolTip(texts::kTipSelectFile);
    destinationButton_->SetToolTip(texts::kTipDestination);
    splitRadio_->SetToolTip(texts::kTipSplitMode);
    rejoinRadio_->SetToolTip(texts::kTipRejoinMode);
    customBox_->SetToolTip(texts::kTipCustomSize);
    cancelButton_->SetToolTip(texts::kTipCancel);
    sizeButton_->SetToolTip(texts::kTipSizeMenu);
}

void CVantorSplitDlg::InitDialog() {
    shown_ = true;
    model_->OnInitDialog(false);
    // The client gets the object only now: its Size, SourceFile and Destination would
    // otherwise be overwritten by the start above.
    if (proxy_) proxy_->Publish();
    model_->CheckFolders();
    ShowView(model_->view());
}

void CVantorSplitDlg::LayoutStatusBar() {
    const int w = GetClientSize().x;
    const int widths[4] = {w * 10 / 100, w * 40 / 100, w * 20 / 100, -1};
    GetStatusBar()->SetStatusWidths(4, widths);
    PlaceProgressBar();
}

void CVantorSplitDlg::PlaceProgressBar() {
    wxRect r;
    if (!GetStatusBar()->GetFieldRect(3, r)) return;
    r.Deflate(2);
    progressBar_->SetSize(r);
}

void CVantorSplitDlg::OnViewChanged() {
    if (wxThread::IsMain()) {
        ShowView(model_->view());
        return;
    }
    // From the worker: one refresh at a time is queued on the window thread, and it shows
    // the newest view when it runs.
    if (refreshQueued_.exchange(true)) return;
    CallAfter([this] {
        refreshQueued_ = false;
        ShowView(model_->view());
    });
}

void CVantorSplitDlg::ShowView(const SplitterView& v) {
    if (v.closed) {
        Destroy();
        wxWakeUpIdle();  // also from the tray, with the window hidden
        return;
    }
    bool relayout = false;
    auto show = [&relayout](wxWindow* w, bool on) {
        if (w->IsShown() != on) {
            w->Show(on);
            relayout = true;
        }
    };
    if (GetTitle() != text(v.caption)) SetTitle(text(v.caption));
    splitRadio_->SetValue(v.splitMode);
    rejoinRadio_->SetValue(!v.splitMode);
    splitRadio_->Enable(v.splitButtonEnabled);
    rejoinRadio_->Enable(v.rejoinButtonEnabled);
    setLabelIfChanged(sourceLabel_, v.sourceLabel);
    setLabelIfChanged(fileButton_, v.fileButton);
    setLabelIfChanged(destinationLabel_, v.destinationLabel);
    setLabelIfChanged(actionButton_, v.actionButton);
    for (wxWindow* w : {static_cast<wxWindow*>(fileButton_), static_cast<wxWindow*>(destinationButton_),
                        static_cast<wxWindow*>(actionButton_), static_cast<wxWindow*>(sizeButton_),
                        static_cast<wxWindow*>(customBox_)})
        w->Enable(v.controlsEnabled);
    sizeLabel_->SetLabel(text(v.sizeLabel));
    show(sizeButton_, v.sizeMenuVisible);
    show(customLabel_, v.customBoxVisible);
    show(customBox_, v.customBoxVisible);
    setLabelIfChanged(customLabel_, v.customLabel);
    if (utf8(customBox_->GetValue()) != v.customBox) customBox_->ChangeValue(text(v.customBox));
    for (int i = 0; i < 4; ++i)
        if (GetStatusBar()->GetStatusText(i) != text(v.status[i])) SetStatusText(text(v.status[i]), i);
    progressBar_->Show(v.progressBarVisible);
    if (v.progressBarVisible) progressBar_->SetValue(std::clamp(v.progressPos, 0, 100));
    show(progressLabel_, v.progressLabelVisible);
    setLabelIfChanged(progressLabel_, v.progressLabel);
    settingsItem_->Enable(v.settingsCommandEnabled);
    if (relayout) panel_->Layout();
    // A control that was hidden or disabled while it had the focus leaves the window
    // without one, and then no key reaches it: the focus goes to the file chooser, or
    // to "&Cancel" while a job runs.
    if (wxWindow* focus = FindFocus(); !focus || !focus->IsShownOnScreen() || !focus->IsEnabled()) {
        if (!focus || wxGetTopLevelParent(focus) == this)
            (fileButton_->IsEnabled() ? static_cast<wxWindow*>(fileButton_) : cancelButton_)->SetFocus();
    }
    if (v.settingsPaneOpen != paneShown_) ResizeForPane(v.settingsPaneOpen);
    if (shown_ && !tray_ && IsShown() != v.windowVisible) Show(v.windowVisible);
}

void CVantorSplitDlg::ResizeForPane(bool open) {
    paneShown_ = open;
    // The model fills its pane right after it reports the pane open.
    if (open)
        CallAfter([this] {
            if (paneShown_) pane_->Load();
        });
    pane_->Show(open);
    panel_->Layout();
    const int target = open ? heightWithoutPane_ + pane_->GetBestSize().y + 8 : heightWithoutPane_;
    const int width = GetSize().x;
    if (IsShownOnScreen()) {
        // Grow or shrink in steps of 25 pixels with a short pause after each.
        const int from = GetSize().y;
        const int steps = std::abs(target - from) / 25 - 1;
        for (int i = 1; i <= steps; ++i) {
            SetSize(width, from + (target > from ? 25 * i : -25 * i));
            Update();
            wxMilliSleep(10);
        }
    }
    SetSize(width, target);
    panel_->Layout();
    if (IsShownOnScreen()) Centre();
}

void CVantorSplitDlg::OpenSizeMenu() {
    const SizeChoice checked = model_->view().checkedSize;
    auto item = [&](wxMenu* menu, SizeChoice choice) {
        menu->AppendCheckItem(ID_SIZE_FIRST + static_cast<int>(choice), sizeChoiceInfo(choice).menuText)
            ->Check(choice == checked);
    };
    wxMenu menu;
    auto* user = new wxMenu;
    for (SizeChoice c : {SizeChoice::Bytes, SizeChoice::KiloBytes, SizeChoice::MegaBytes, SizeChoice::Files})
        item(user, c);
    menu.AppendSubMenu(user, "&User defined");
    for (SizeChoice c : {SizeChoice::Floppy, SizeChoice::TenMb, SizeChoice::HundredMb}) item(&menu, c);
    menu.AppendSeparator();
    const wxPoint below = panel_->ScreenToClient(sizeButton_->ClientToScreen(wxPoint(0, sizeButton_->GetSize().y)));
    panel_->PopupMenu(&menu, below);
}

void CVantorSplitDlg::ShowAbout() {
    CAboutDlg about(this);
    about.ShowModal();
}

void CVantorSplitDlg::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_F1 || event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    // The topic of the menu item under the cursor, else of the control with the focus.
    HelpTarget target = HelpTarget::OtherControl;
    const wxWindow* focus = FindFocus();
    if (highlightedMenu_ == ID_GENERAL_SETTINGS) target = HelpTarget::SettingsCommand;
    else if (highlightedMenu_ == ID_HELP_CONTENTS) target = HelpTarget::ContentsCommand;
    else if (focus == splitRadio_) target = HelpTarget::SplitRadio;
    else if (focus == rejoinRadio_) target = HelpTarget::RejoinRadio;
    else if (focus == actionButton_) target = HelpTarget::ActionButton;
    ShowHelp(target);
}

void CVantorSplitDlg::ShowHelp(HelpTarget target) {
    const HelpTopic topic = model_->HelpTopicFor(target);
    if (!help_ || helpBook_ != topic.book) {
        delete help_;
        help_ = nullptr;
        helpBook_.clear();
        auto help = platform::loadHelpBook(this, topic.book, texts::kHelpWindowTitle);
        if (!help) {
            prompts_.message(texts::kNoHelpBookPrefix + topic.book + texts::kNoHelpBookSuffix, texts::kAppCaption);
            return;
        }
        help_ = help.release();
        helpBook_ = topic.book;
    }
    if (topic.page.empty()) help_->DisplayContents();
    else help_->Display(text(topic.page));
}

bool CVantorSplitDlg::ServeAutomation(const std::string& clientName) {
    // While the client holds the object, "&Cancel" and the close box hide the window;
    // once the client has gone, a hidden window ends the program.
    proxy_ = std::make_unique<CVantorSplitDlgAutoProxy>(*model_, clientName, [this] {
        if (IsShown() || tray_) return;
        Destroy();
        // Nothing else may happen in a hidden window: make the loop get to the deletion.
        wxWakeUpIdle();
    });
    std::string error;
    if (proxy_->Start(&error)) return true;
    std::fprintf(stderr, "QuarvaSplit: automation is not available: %s\n", error.c_str());
    proxy_.reset();
    return false;
}

void CVantorSplitDlg::MoveToTray() {
    if (tray_) return;
    if (!wxTaskBarIcon::IsAvailable()) {
        prompts_.message(texts::kNoTray, texts::kAppCaption);
        return;
    }
    auto menu = [] {
        auto* items = new wxMenu;
        items->Append(wxID_OPEN, "&Restore");
        items->Append(wxID_ABOUT, "&About");
        items->AppendSeparator();
        items->Append(wxID_EXIT, "E&xit");
        return items;
    };
    auto command = [this](int id) {
        if (id == wxID_OPEN) RestoreFromTray();
        else if (id == wxID_ABOUT) ShowAbout();
        // "E&xit" acts as "&Cancel": while a job runs it asks, else the program ends.
        else if (id == wxID_EXIT) model_->OnCancelOperation();
    };
    tray_ = new platform::ui::CTrayIcon(*this, menu, command, [this] { RestoreFromTray(); });
    tray_->SetIcon(GetIcons().GetIcon(wxSize(32, 32)), texts::kTrayTip);
    Hide();
}

void CVantorSplitDlg::RestoreFromTray() {
    if (!tray_) return;
    Show();
    tray_->remove();
    tray_ = nullptr;
    Raise();
    ShowView(model_->view());
}

void CVantorSplitDlg::OnDropped(const std::vector<std::string>& paths) { model_->OnDropFiles(paths); }

void CVantorSplitDlg::OnCloseWindow(wxCloseEvent& event) {
    // The close box acts as "&Cancel": while a job runs it asks, else the window closes.
    if (!event.CanVeto()) {
        model_->RequestCancel();
        Destroy();
        return;
    }
    event.Veto();
    model_->OnClose();
}

void CVantorSplitDlg::OnTestHookTimer() {
    std::ifstream in(testDropFile_);
    if (!in) return;
    std::vector<std::string> paths;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) paths.push_back(line);
    in.close();
    std::remove(testDropFile_.c_str());
    OnDropped(paths);
}

}  // namespace quarva::splitter::ui
