#pragma once
// The archive manager's picture, drawn in code: an amber box closed by a zipper
// down its middle. The about box animates the zipper's pull; the window and the
// tray icon show the box zipped up.

#include <wx/dc.h>
#include <wx/iconbndl.h>
#include <wx/timer.h>
#include <wx/window.h>

namespace quarva::archive::ui {

// `pull` is where the zipper's pull stands: 0 at the top (open), 1 at the bottom (closed).
void drawZipBox(wxDC& dc, const wxRect& area, double pull);
wxIconBundle quarvaZipIcons();

// The about box's animation: the pull runs down, rests, and runs up again.
class CZipAnimation : public wxWindow {
public:
    CZipAnimation(wxWindow* parent, int size);
    void play();
    void stop();

private:
    void onPaint(wxPaintEvent&);
    void onTimer(wxTimerEvent&);

    wxTimer timer_;
    int frame_ = 0;
};

}  // namespace quarva::archive::ui
