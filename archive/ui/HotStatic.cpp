#include "archive/ui/HotStatic.h"

#include <wx/utils.h>

namespace quarva::archive::ui {

namespace {
const wxColour kNormal(0, 0, 255);
const wxColour kVisited(128, 0, 128);
const wxColour kHover(255, 0, 0);
}  // namespace

CHotStatic::CHotStatic(wxWindow* parent, const wxString& text, const wxString& target)
    : wxGenericHyperlinkCtrl(parent, wxID_ANY, text, target.empty() ? text : target, wxDefaultPosition, wxDefaultSize,
                             wxNO_BORDER | wxHL_CONTEXTMENU | wxHL_ALIGN_LEFT) {
    SetNormalColour(kNormal);
    SetVisitedColour(kVisited);
    SetHoverColour(kHover);
    Bind(wxEVT_HYPERLINK, &CHotStatic::onClick, this, GetId());
}

void CHotStatic::onClick(wxHyperlinkEvent& event) {
    if (wxLaunchDefaultBrowser(event.GetURL())) {
        SetVisited(true);
    } else {
        // The control marks itself visited on the click; a link that did not open is not.
        wxBell();
        SetVisited(false);
        SetForegroundColour(kNormal);
    }
    Refresh();
}

}  // namespace quarva::archive::ui
