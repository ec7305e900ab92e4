#include "splitter/ui/SizeMenuButton.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>

namespace quarva::splitter::ui {

CSizeMenuButton::CSizeMenuButton(wxWindow* parent, wxWindowID id, const wxString& label)
    : wxControl(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxWANTS_CHARS) {
    SetLabel(label);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CSizeMenuButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CSizeMenuButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CSizeMenuButton::OnLeftUp, this);
    Bind(wxEVT_KEY_DOWN, &CSizeMenuButton::OnKey, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) {
        Refresh();
        e.Skip();
    });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        Refresh();
        e.Skip();
    });
    SetInitialSize();
}

wxSize CSizeMenuButton::DoGetBestSize() const {
    wxClientDC dc(const_cast<CSizeMenuButton*>(this));
    dc.SetFont(GetFont());
    const wxSize text = dc.GetTextExtent(wxStripMenuCodes(GetLabel()));
    return wxSize(text.x + 24 + kArrowWidth, std::max(text.y + 14, 30));
}

wxRect CSizeMenuButton::ArrowRect() const {
    const wxSize size = GetClientSize();
    return wxRect(size.x - kArrowWidth, 0, kArrowWidth, size.y);
}

void CSizeMenuButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    const wxRect all(GetClientSize());
    int flags = 0;
    if (pressed_) flags |= wxCONTROL_PRESSED;
    if (!IsEnabled()) flags |= wxCONTROL_DISABLED;
    if (HasFocus()) flags |= wxCONTROL_FOCUSED;
    wxRendererNative& renderer = wxRendererNative::Get();
    renderer.DrawPushButton(this, dc, all, flags);
    wxRect arrow = ArrowRect();
    arrow.Deflate(2, 4);
    renderer.DrawDropArrow(this, dc, arrow, flags & wxCONTROL_DISABLED);
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.DrawLine(all.width - kArrowWidth, 5, all.width - kArrowWidth, all.height - 5);
    dc.SetFont(GetFont());
    dc.SetTextForeground(wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT));
    wxString label = GetLabel();
    const int mnemonic = label.Find('&');
    label.Replace("&", "", false);
    wxRect text = all;
    text.width -= kArrowWidth;
    dc.DrawLabel(label, text, wxALIGN_CENTER, mnemonic);
}

void CSizeMenuButton::OnLeftDown(wxMouseEvent& event) {
    SetFocus();
    if (ArrowRect().Contains(event.GetPosition())) {
        if (onArrow) onArrow();
        return;
    }
    pressed_ = true;
    CaptureMouse();
    Refresh();
}

void CSizeMenuButton::OnLeftUp(wxMouseEvent& event) {
    if (!pressed_) return;
    pressed_ = false;
    if (HasCapture()) ReleaseMouse();
    Refresh();
    if (wxRect(GetClientSize()).Contains(event.GetPosition()) && onClick) onClick();
}

void CSizeMenuButton::OnKey(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_SPACE:
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        if (onClick) onClick();
        return;
    case WXK_DOWN:
        if (event.AltDown() && onArrow) onArrow();
        return;
    default: event.Skip();
    }
}

}  // namespace quarva::splitter::ui
