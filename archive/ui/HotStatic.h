#pragma once
// A text that behaves as a link: underlined, blue, red under the pointer, purple once
// opened. A click asks the desktop to open the target (a web page or a mail
// address); when that fails it beeps and stays unvisited.

#include <wx/hyperlink.h>
#include <wx/generic/hyperlink.h>

namespace quarva::archive::ui {

class CHotStatic : public wxGenericHyperlinkCtrl {
public:
    // `target` is what a click opens; the text itself when empty.
    CHotStatic(wxWindow* parent, const wxString& text, const wxString& target = {});

private:
    void onClick(wxHyperlinkEvent& event);
};

}  // namespace quarva::archive::ui
