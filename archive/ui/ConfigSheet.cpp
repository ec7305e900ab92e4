#include "archive/ui/ConfigSheet.h"

#include <algorithm>
#include <span>

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {

constexpr int kGap = 6;

// A check box that sets or clears `bit` of `value` whenever it is clicked.
wxCheckBox* bitBox(wxWindow* parent, const ConfigBitBox& box, std::uint32_t& value) {
    auto* check = new wxCheckBox(parent, wxID_ANY, box.text);
    check->SetValue((value & box.bit) != 0);
    check->Bind(wxEVT_CHECKBOX,
                [&value, bit = box.bit](wxCommandEvent& event) { setBit(value, bit, event.IsChecked()); });
    return check;
}

wxStaticBoxSizer* group(wxWindow* parent, const char* title) { return new wxStaticBoxSizer(wxVERTICAL, parent, title); }

// A group holding one check box per entry of `boxes`, one below the other.
wxStaticBoxSizer* bitGroup(wxWindow* parent, const char* title, std::span<const ConfigBitBox> boxes,
                           std::uint32_t& value) {
    auto* sizer = group(parent, title);
    for (const ConfigBitBox& b : boxes) sizer->Add(bitBox(sizer->GetStaticBox(), b, value), 0, wxALL, kGap / 2);
    return sizer;
}

// A page of two groups, side by side or one above the other; the second one takes
// what room is left.
void layOut(wxWindow* page, int orientation, wxSizer* first, wxSizer* second) {
    auto* top = new wxBoxSizer(orientation);
    top->Add(first, 0, wxEXPAND | wxALL, kGap);
    top->Add(second, orientation == wxHORIZONTAL ? 1 : 0, wxEXPAND | wxALL, kGap);
    page->SetSizer(top);
}

// A field of the Folders page: label, text and the ">>" chooser in one row of `grid`.
void folderRow(wxWindow* parent, wxFlexGridSizer* grid, const char* label, int labelWidth, std::string& value,
               std::function<std::optional<std::string>(const std::string&)> choose) {
    auto* text = new wxTextCtrl(parent, wxID_ANY, toWx(value), wxDefaultPosition, wxSize(300, -1));
    auto* button =
        new wxButton(parent, wxID_ANY, configtext::kChooserButton, wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    auto* caption = new wxStaticText(parent, wxID_ANY, label);
    caption->SetMinSize(wxSize(labelWidth, -1));
    grid->Add(caption, 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(text, 1, wxEXPAND);
    grid->Add(button, 0, wxALIGN_CENTER_VERTICAL);
    text->Bind(wxEVT_TEXT, [&value, text](wxCommandEvent&) { value = fromWx(text->GetValue()); });
    // A cancelled chooser leaves the field as it was.
    button->Bind(wxEVT_BUTTON, [text, choose](wxCommandEvent&) {
        if (auto chosen = choose(fromWx(text->GetValue()))) text->SetValue(toWx(*chosen));
    });
}

std::optional<std::string> chooseFolder(wxWindow* parent, const char* title, const std::string& current) {
    wxDirDialog dialog(parent, title, toWx(current), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return fromWx(dialog.GetPath());
}

}  // namespace

CConfigViewPage::CConfigViewPage(wxWindow* parent, std::uint32_t& viewBits) : wxPanel(parent), viewBits_(viewBits) {
    auto* headers = group(this, configtext::kHeadersGroup);
    wxWindow* box = headers->GetStaticBox();
    // Two columns read downwards: Name, Type, Date, Size | Ratio, Packed, Path.
    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    auto* left = new wxBoxSizer(wxVERTICAL);
    auto* right = new wxBoxSizer(wxVERTICAL);
    auto* name = new wxCheckBox(box, wxID_ANY, configtext::kNameBox);
    name->SetValue(true);
    name->Disable();
    left->Add(name, 0, wxBOTTOM, kGap);
    for (const ConfigBitBox& b : kHeaderBoxes) {
        wxCheckBox* check = bitBox(box, b, viewBits_);
        boxes_.emplace_back(check, b.bit);
        (left->GetItemCount() < 4 ? left : right)->Add(check, 0, wxBOTTOM, kGap);
    }
    columns->Add(left, 0, wxRIGHT, 8 * kGap);
    columns->Add(right);
    headers->Add(columns, 0, wxALL, kGap);
    auto* defaults = new wxButton(box, wxID_ANY, configtext::kDefaultsButton);
    defaults->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onDefaults(); });
    headers->Add(defaults, 0, wxALIGN_RIGHT | wxALL, kGap);

    layOut(this, wxHORIZONTAL, headers, bitGroup(this, configtext::kGeneralGroup, kGeneralBoxes, viewBits_));
}

void CConfigViewPage::onDefaults() {
    viewBits_ = viewDefaults(viewBits_);
    for (auto& [check, bit] : boxes_) check->SetValue((viewBits_ & bit) != 0);
}

CConfigFolderPage::CConfigFolderPage(wxWindow* parent, ConfigSheetValues& values) : wxPanel(parent) {
    // One label width for both groups, so that the three fields line up.
    int labelWidth = 0;
    for (const char* label : {configtext::kScannerLabel, configtext::kExtractionLabel, configtext::kArchivesLabel})
        labelWidth = std::max(labelWidth, GetTextExtent(wxStaticText::GetLabelText(label)).GetWidth());
    auto* scanner = group(this, configtext::kScannerGroup);
    auto* scannerGrid = new wxFlexGridSizer(3, kGap, kGap);
    scannerGrid->AddGrowableCol(1);
    folderRow(scanner->GetStaticBox(), scannerGrid, configtext::kScannerLabel, labelWidth, values.scannerPath,
              [this](const std::string& current) -> std::optional<std::string> {
                  wxFileName at(toWx(current));
                  wxFileDialog dialog(this, configtext::kScannerChooserTitle, at.GetPath(), at.GetFullName(),
                                      configtext::kScannerChooserFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
                  dialog.SetFilterIndex(1);
                  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
                  return fromWx(dialog.GetPath());
              });
    scanner->Add(scannerGrid, 0, wxEXPAND | wxALL, kGap);

    auto* others = group(this, configtext::kOthersGroup);
    auto* othersGrid = new wxFlexGridSizer(3, kGap, kGap);
    othersGrid->AddGrowableCol(1);
    folderRow(others->GetStaticBox(), othersGrid, configtext::kExtractionLabel, labelWidth, values.extractFolder,
              [this](const std::string& current) {
                  return chooseFolder(this, configtext::kExtractionChooserTitle, current);
              });
    folderRow(
        others->GetStaticBox(), othersGrid, configtext::kArchivesLabel, labelWidth, values.archivesFolder,
        [this](const std::string& current) { return chooseFolder(this, configtext::kArchivesChooserTitle, current); });
    others->Add(othersGrid, 0, wxEXPAND | wxALL, kGap);

    layOut(this, wxVERTICAL, scanner, others);
}

CConfigSystemPage::CConfigSystemPage(wxWindow* parent, std::uint32_t& systemBits)
    : wxPanel(parent), systemBits_(systemBits) {
    auto* shell = group(this, configtext::kShellGroup);
    bool first = true;
    for (const ConfigBitBox& b : kShellBoxes) {
        wxCheckBox* check = bitBox(shell->GetStaticBox(), b, systemBits_);
        shell->Add(check, 0, wxALL, kGap / 2);
        if (first) {
            check->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
                event.Skip();
                CallAfter([this] { enableShellOptions(); });
            });
        } else {
            shellOptions_.push_back(check);
        }
        first = false;
    }
    enableShellOptions();

    layOut(this, wxVERTICAL, shell, bitGroup(this, configtext::kDesktopGroup, kDesktopBoxes, systemBits_));
}

void CConfigSystemPage::enableShellOptions() {
    for (wxCheckBox* check : shellOptions_) check->Enable(shellOptionsEnabled(systemBits_));
}

CConfigSheet::CConfigSheet(wxWindow* parent, const ConfigSheetValues& values, TraceLine trace)
    : values_(values), trace_(std::move(trace)) {
    Create(parent, wxID_ANY, configtext::kSheetTitle);
    CreateButtons(wxOK | wxCANCEL);
    wxBookCtrlBase* book = GetBookCtrl();
    book->AddPage(new CConfigViewPage(book, values_.viewBits), configtext::kViewPage, true);
    book->AddPage(new CConfigFolderPage(book, values_), configtext::kFoldersPage);
    book->AddPage(new CConfigSystemPage(book, values_.systemBits), configtext::kSystemPage);
    book->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, [this, book](wxBookCtrlEvent& event) {
        event.Skip();
        if (trace_) trace_("config page: " + fromWx(book->GetPageText(static_cast<size_t>(event.GetSelection()))));
    });
    LayoutDialog();
}

}  // namespace quarva::archive::ui
