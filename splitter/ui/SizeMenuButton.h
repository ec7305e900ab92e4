#pragma once
// The size menu button: a push button with a drop-down arrow in its right 16 pixels.
// A click on the arrow (or Alt+Down) calls `onArrow`, which opens the menu; a click
// elsewhere, Space or Enter calls `onClick`.

#include <functional>

#include <wx/control.h>

namespace quarva::splitter::ui {

class CSizeMenuButton : public wxControl {
public:
    static constexpr int kArrowWidth = 16;

    CSizeMenuButton(wxWindow* parent, wxWindowID id, const wxString& label);
    std::function<void()> onClick;
    std::function<void()> onArrow;

    bool AcceptsFocus() const override { return true; }

protected:
    wxSize DoGetBestSize() const override;

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnKey(wxKeyEvent& event);
    wxRect ArrowRect() const;

    bool pressed_ = false;
};

}  // namespace quarva::splitter::ui
