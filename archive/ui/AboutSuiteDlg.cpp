#include "archive/ui/AboutSuiteDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "archive/ui/HotStatic.h"
#include "archive/ui/ZipArt.h"

namespace quarva::archive::ui {

CAboutSuiteDlg::CAboutSuiteDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Quarva.Zip Suite") {
    auto* animation = new CZipAnimation(this, 96);

    auto* name = new wxStaticText(this, wxID_ANY, "Quarva.Zip Suite");
    name->SetFont(name->GetFont().Bold().Larger());
    auto* text = new wxBoxSizer(wxVERTICAL);
    text->Add(name, 0, wxBOTTOM, 4);
    text->Add(new wxStaticText(this, wxID_ANY, "Version 1.0.0.0"), 0, wxBOTTOM, 2);
    text->Add(new wxStaticText(this, wxID_ANY, "Copyright (C) Quarva Software"), 0, wxBOTTOM, 12);

    auto* links = new wxFlexGridSizer(2, wxSize(8, 4));
    auto link = [&](const char* label, const wxString& shown, const wxString& target) {
        links->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        links->Add(new CHotStatic(this, shown, target), 0, wxALIGN_CENTER_VERTICAL);
    };
    link("Sales:", kSalesMail, wxString("mailto:") + kSalesMail);
    link("Support:", kSupportMail, wxString("mailto:") + kSupportMail);
    link("Web:", kMakerWebSite, kMakerWebSite);
    text->Add(links);

    auto* body = new wxBoxSizer(wxHORIZONTAL);
    body->Add(animation, 0, wxALL, 12);
    body->Add(text, 1, wxTOP | wxRIGHT | wxBOTTOM, 12);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(body, 1, wxEXPAND);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    top->Add(ok, 0, wxALIGN_RIGHT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_INIT_DIALOG, [animation](wxInitDialogEvent& event) {
        animation->play();
        event.Skip();
    });
}

}  // namespace quarva::archive::ui
