#include "archive/ui/FindinZipDlg.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/menuitem.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/core/PathText.h"
#include "archive/ui/DesktopTypes.h"
#include "archive/ui/SelectFolderDialog.h"
#include "archive/ui/WxText.h"
#include "archive/utilities/FindInZipTexts.h"

namespace quarva::archive::ui {

namespace {

// The finder's two reports and its end, queued to the dialog from its threads.
wxDEFINE_EVENT(EVT_FIND_SCANNING, wxThreadEvent);
wxDEFINE_EVENT(EVT_FIND_FOUND, wxThreadEvent);
wxDEFINE_EVENT(EVT_FIND_FINISHED, wxThreadEvent);

enum Column { kColName, kColArchive, kColFolder, kColSize, kColCreated };

wxString shown(const std::string& text) { return toWx(displayName(text)); }

// The entry's folder as people read it: "/" between folders.
std::string shownFolder(const CZipFileInfo& info) {
    std::string folder = info.folder;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return folder;
}

}  // namespace

// Hands the reports to the window without ever waiting for it, so stopping the
// search from the window cannot deadlock. Reports gather here and one event of
// each kind at a time is queued for them: however fast archives and folders go by,
// the window's queue stays short and keys and repaints get their turn. The
// status shows the folder searched last; the rows keep their order.
class CFindinZipDlg::Receiver : public IFindReceiver {
public:
    explicit Receiver(wxEvtHandler& target) : target_(target) {}
    void onScanning(const std::string& folder) override {
        std::lock_guard lock(mutex_);
        folder_ = folder;
        if (!std::exchange(scanningQueued_, true)) wxQueueEvent(&target_, new wxThreadEvent(EVT_FIND_SCANNING));
    }
    void onFound(const FoundFile& found) override {
        std::lock_guard lock(mutex_);
        found_.push_back(found);
        if (!std::exchange(foundQueued_, true)) wxQueueEvent(&target_, new wxThreadEvent(EVT_FIND_FOUND));
    }
    void onFinished(bool stopped) override {
        auto* event = new wxThreadEvent(EVT_FIND_FINISHED);
        event->SetInt(stopped ? 1 : 0);
        wxQueueEvent(&target_, event);
    }
    // The window's side: what came since it last looked.
    std::string takeFolder() {
        std::lock_guard lock(mutex_);
        scanningQueued_ = false;
        return std::exchange(folder_, std::string());
    }
    std::vector<FoundFile> takeFound() {
        std::lock_guard lock(mutex_);
        foundQueued_ = false;
        return std::exchange(found_, {});
    }

private:
    wxEvtHandler& target_;
    std::mutex mutex_;
    std::string folder_;
    std::vector<FoundFile> found_;
    bool scanningQueued_ = false, foundQueued_ = false;
};

CFindinZipDlg::CFindinZipDlg(wxWindow* parent, platform::Prompts& prompts, OpenMatch openMatch, Trace trace)
    : wxDialog(parent, wxID_ANY, findtext::kTitle, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      prompts_(prompts),
      openMatch_(std::move(openMatch)),
      trace_(std::move(trace)),
      icons_(std::make_unique<CFileIcons>()),
      receiver_(std::make_unique<Receiver>(*this)),
      finder_(std::make_unique<CZipFinder>()) {
    named_ = new wxComboBox(this, wxID_ANY, "", wxDefaultPosition, wxSize(320, -1));
    lookIn_ = new wxTextCtrl(this, wxID_ANY, findtext::kStartFolder);
    browse_ = new wxButton(this, wxID_ANY, findtext::kBrowse);
    subfolders_ = new wxCheckBox(this, wxID_ANY, findtext::kIncludeSubfolders);
    subfolders_->SetValue(true);
    fileTypes_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    findNow_ = new wxButton(this, wxID_ANY, findtext::kFindNow);
    stop_ = new wxButton(this, wxID_ANY, findtext::kStop);
    findNow_->SetDefault();

    auto* fields = new wxFlexGridSizer(2, wxSize(8, 6));
    fields->AddGrowableCol(1);
    // GTK's labels cannot lead to the field beside them: their keys are the dialog's
    // own (see onCharHook), and the label shows the text without its mark.
    auto label = [&](const char* text) {
        fields->Add(new wxStaticText(this, wxID_ANY, wxStripMenuCodes(text, wxStrip_Mnemonics)), 0,
                    wxALIGN_CENTER_VERTICAL);
    };
    label(findtext::kNamed);
    fields->Add(named_, 1, wxEXPAND);
    label(findtext::kLookIn);
    auto* lookInRow = new wxBoxSizer(wxHORIZONTAL);
    lookInRow->Add(lookIn_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    lookInRow->Add(browse_, 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(lookInRow, 1, wxEXPAND);
    fields->AddSpacer(0);
    fields->Add(subfolders_);
    label(findtext::kFilesOfType);
    fields->Add(fileTypes_, 1, wxEXPAND);

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(findNow_, 0, wxEXPAND | wxBOTTOM, 6);
    buttons->Add(stop_, 0, wxEXPAND);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(fields, 1, wxEXPAND | wxRIGHT, 12);
    top->Add(buttons, 0);

    list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 240), wxLC_REPORT | wxLC_SINGLE_SEL);
    list_->SetImageList(icons_->small(), wxIMAGE_LIST_SMALL);
    // The widths of a 96-dpi layout, half again for the desktop's larger text.
    list_->AppendColumn(findtext::kColumnName, wxLIST_FORMAT_LEFT, 120);
    list_->AppendColumn(findtext::kColumnArchive, wxLIST_FORMAT_LEFT, 180);
    list_->AppendColumn(findtext::kColumnFolder, wxLIST_FORMAT_LEFT, 180);
    list_->AppendColumn(findtext::kColumnSize, wxLIST_FORMAT_RIGHT, 75);
    list_->AppendColumn(findtext::kColumnCreated, wxLIST_FORMAT_CENTRE, 135);
    status_ = new wxStaticText(this, wxID_ANY, "0" + wxString(findtext::kFound), wxDefaultPosition, wxDefaultSize,
                               wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);

    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(top, 0, wxEXPAND | wxALL, 12);
    all->Add(list_, 1, wxEXPAND | wxLEFT | wxRIGHT, 12);
    all->Add(status_, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(all);
    SetMinSize(GetSize());
    SetSize(wxSize(std::max(GetSize().x, 740), GetSize().y));
    CentreOnParent();
    setSearching(false);
    named_->SetFocus();

    findNow_->Bind(wxEVT_BUTTON, &CFindinZipDlg::onFindNow, this);
    stop_->Bind(wxEVT_BUTTON, &CFindinZipDlg::onStop, this);
    browse_->Bind(wxEVT_BUTTON, &CFindinZipDlg::onBrowse, this);
    list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CFindinZipDlg::onActivated, this);
    Bind(wxEVT_CHAR_HOOK, &CFindinZipDlg::onCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CFindinZipDlg::onClose, this);
    Bind(EVT_FIND_SCANNING, &CFindinZipDlg::onScanning, this);
    Bind(EVT_FIND_FOUND, &CFindinZipDlg::onFound, this);
    Bind(EVT_FIND_FINISHED, &CFindinZipDlg::onFinished, this);
}

CFindinZipDlg::~CFindinZipDlg() {
    // No report may arrive once the window is gone: the search ends here, and the
    // events it queued die with the window.
    finder_->stop();
    finder_->wait();
}

void CFindinZipDlg::setSearching(bool searching) {
    searching_ = searching;
    // The focus moves before its control is disabled: a disabled control that keeps
    // the focus would swallow the keys ("&Stop", Escape) meant for the dialog.
    wxWindow* focus = searching ? static_cast<wxWindow*>(stop_) : findNow_;
    focus->Enable();
    focus->SetFocus();
    for (wxWindow* control : std::initializer_list<wxWindow*>{findNow_, browse_, subfolders_, named_, lookIn_})
        control->Enable(!searching);
    stop_->Enable(searching);
}

void CFindinZipDlg::setStatus(const std::string& text) {
    status_->SetLabel(shown(text));
    trace_("find status: " + displayName(text));
}

void CFindinZipDlg::onFindNow(wxCommandEvent&) {
    if (searching_) return;
    request_.pattern = fromWx(named_->GetValue());
    request_.folder = fromWx(lookIn_->GetValue());
    request_.includeSubfolders = subfolders_->GetValue();
    if (!request_.pattern.empty() && named_->FindString(named_->GetValue(), true) == wxNOT_FOUND)
        named_->Insert(named_->GetValue(), 0);
    setSearching(true);
    list_->DeleteAllItems();
    rows_.clear();
    trace_("find started: " + displayName(request_.pattern) + " in " + displayName(request_.folder) +
           (request_.includeSubfolders ? " with subfolders" : ""));
    finder_->start(request_, *receiver_);
}

void CFindinZipDlg::onStop(wxCommandEvent&) { finder_->stop(); }

void CFindinZipDlg::onCharHook(wxKeyEvent& event) {
    // Escape stops a search; the dialog stays open.
    if (event.GetKeyCode() == WXK_ESCAPE) {
        finder_->stop();
        return;
    }
    // The labels' keys ("&Named", "&Look in", "In &files of type") lead to their fields.
    if (event.GetModifiers() == wxMOD_ALT) {
        wxWindow* field = nullptr;
        switch (event.GetKeyCode()) {
        case 'N': field = named_; break;
        case 'L': field = lookIn_; break;
        case 'F': field = fileTypes_; break;
        default: break;
        }
        if (field && field->IsEnabled()) {
            field->SetFocus();
            return;
        }
    }
    event.Skip();
}

void CFindinZipDlg::onClose(wxCloseEvent&) {
    finder_->stop();
    finder_->wait();
    if (IsModal()) EndModal(wxID_CANCEL);
    else Destroy();
}

void CFindinZipDlg::onBrowse(wxCommandEvent&) {
    CSelectFolderDialog chooser(this, prompts_, false, findtext::kStartFolder, findtext::kSelectFolder);
    if (chooser.ShowModal() != wxID_OK) return;
    std::string folder = chooser.folder();
    while (folder.size() > 1 && folder.ends_with('/')) folder.pop_back();
    lookIn_->ChangeValue(toWx(folder));
}

void CFindinZipDlg::onScanning(wxThreadEvent&) {
    std::string folder = receiver_->takeFolder();
    if (folder.empty() || !searching_) return;
    setStatus(findtext::kSearching + (folder.ends_with('/') ? folder + "..." : folder + findtext::kSearchingEnd));
}

void CFindinZipDlg::onFound(wxThreadEvent&) {
    std::vector<FoundFile> found = receiver_->takeFound();
    if (found.empty()) return;
    list_->Freeze();
    for (FoundFile& match : found) {
        const CZipFileInfo& info = match.info;
        const long row = static_cast<long>(rows_.size());
        list_->InsertItem(row, shown(info.name), icons_->imageFor(extensionOf(info.name)));
        list_->SetItem(row, kColArchive, shown(match.archive));
        list_->SetItem(row, kColFolder, shown(shownFolder(info)));
        list_->SetItem(row, kColSize, std::to_string(info.size));
        list_->SetItem(row, kColCreated, shown(info.modified));
        trace_("find row: " + displayName(info.name) + " | " + displayName(match.archive) + " | " +
               displayName(shownFolder(info)) + " | " + std::to_string(info.size));
        rows_.push_back(std::move(match));
    }
    list_->Thaw();
}

void CFindinZipDlg::onFinished(wxThreadEvent& event) {
    finder_->wait();
    // The last rows may still wait for their event.
    wxThreadEvent rest;
    onFound(rest);
    receiver_->takeFolder();
    setSearching(false);
    setStatus(std::to_string(rows_.size()) + findtext::kFound);
    trace_(std::string(event.GetInt() ? "find stopped: " : "find finished: ") + std::to_string(rows_.size()));
    findNow_->SetFocus();
}

void CFindinZipDlg::onActivated(wxListEvent& event) {
    const long row = event.GetIndex();
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    trace_("find open: " + displayName(rows_[static_cast<std::size_t>(row)].info.path()));
    // A copy: opening the match runs operations that pump events, and a row may go.
    FoundFile match = rows_[static_cast<std::size_t>(row)];
    if (openMatch_) openMatch_(match);
}

}  // namespace quarva::archive::ui
