#include "archive/ui/FilePropertiesDlg.h"

#include <memory>

#include <wx/artprov.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/image.h>
#include <wx/mimetype.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {

wxBitmap iconFor(const PropertiesView& view) {
    if (view.icon == PropertiesView::Icon::Folder) return wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, {32, 32});
    if (view.icon == PropertiesView::Icon::FileType && !view.iconExtension.empty()) {
        std::unique_ptr<wxFileType> type(wxTheMimeTypesManager->GetFileTypeFromExtension(toWx(view.iconExtension)));
        wxIconLocation location;
        if (type && type->GetIcon(&location) && location.IsOk()) {
            wxIcon icon(location);
            // Theme icons come at any size: the page shows 32 pixels.
            if (icon.IsOk()) return wxBitmap(wxBitmap(icon).ConvertToImage().Rescale(32, 32, wxIMAGE_QUALITY_HIGH));
        }
        return wxArtProvider::GetBitmap(wxART_NORMAL_FILE, wxART_OTHER, {32, 32});
    }
    return wxArtProvider::GetBitmap(wxART_COPY, wxART_OTHER, {32, 32});
}

}  // namespace

CFilePropertiesDlg::CFilePropertiesDlg(wxWindow* parent, const PropertiesView& view) {
    Create(parent, wxID_ANY, "Properties");
    CreateButtons(wxOK);
    auto* page = new wxPanel(GetBookCtrl());
    auto* grid = new wxFlexGridSizer(2, 6, 12);
    grid->Add(new wxStaticBitmap(page, wxID_ANY, iconFor(view)));
    grid->Add(new wxStaticText(page, wxID_ANY, toWx(view.name)), 0, wxALIGN_CENTER_VERTICAL);
    auto row = [&](const char* label, const std::string& value) {
        grid->Add(new wxStaticText(page, wxID_ANY, label));
        grid->Add(new wxStaticText(page, wxID_ANY, toWx(value)));
    };
    row("Type:", view.type);
    row("Location:", view.location);
    row("Packed size:", view.packedSize);
    row("Size:", view.size);
    row("Ratio:", view.ratio);
    row("Modified:", view.date);
    auto* attributes = new wxBoxSizer(wxHORIZONTAL);
    auto box = [&](const char* label, bool checked) {
        auto* check = new wxCheckBox(page, wxID_ANY, label);
        check->SetValue(checked);
        check->Disable();  // display only
        attributes->Add(check, 0, wxRIGHT, 10);
    };
    box("Read Only", view.readOnly);
    box("Hidden", view.hidden);
    box("System", view.system);
    box("Archive", view.archive);
    box("Compressed", view.compressed);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(grid, 0, wxALL, 12);
    sizer->Add(new wxStaticText(page, wxID_ANY, "Attributes:"), 0, wxLEFT | wxRIGHT, 12);
    sizer->Add(attributes, 0, wxALL, 12);
    page->SetSizerAndFit(sizer);
    GetBookCtrl()->AddPage(page, "General");
    LayoutDialog();
    CentreOnParent();
}

}  // namespace quarva::archive::ui
