#include "archive/ui/ZipArt.h"

#include <algorithm>
#include <cmath>

#include <wx/dcbuffer.h>
#include <wx/dcgraph.h>
#include <wx/dcmemory.h>

namespace quarva::archive::ui {

namespace {

const wxColour kAmber(232, 168, 56);
const wxColour kAmberDark(154, 98, 16);
const wxColour kLid(200, 132, 32);
const wxColour kTooth(70, 70, 78);
const wxColour kPull(196, 198, 204);

// Frames of one round: down, a rest, up, a rest (at 60 ms a frame).
constexpr int kTravel = 24, kRest = 10, kRound = 2 * (kTravel + kRest);

double pullAt(int frame) {
    int f = frame % kRound;
    double t = 0;
    if (f < kTravel) t = double(f) / kTravel;
    else if (f < kTravel + kRest) t = 1;
    else if (f < 2 * kTravel + kRest) t = 1 - double(f - kTravel - kRest) / kTravel;
    // Ease in and out.
    return 0.5 - 0.5 * std::cos(t * M_PI);
}

}  // namespace

void drawZipBox(wxDC& dc, const wxRect& area, double pull) {
    const double s = std::min(area.width, area.height);
    const double x0 = area.x + (area.width - s) / 2, y0 = area.y + (area.height - s) / 2;
    auto px = [&](double f) { return wxCoord(std::lround(x0 + f * s)); };
    auto py = [&](double f) { return wxCoord(std::lround(y0 + f * s)); };
    auto len = [&](double f) { return std::max<wxCoord>(1, wxCoord(std::lround(f * s))); };

    dc.SetPen(wxPen(kAmberDark, std::max(1, int(s / 24))));
    dc.SetBrush(wxBrush(kAmber));
    dc.DrawRoundedRectangle(px(0.1), py(0.12), len(0.8), len(0.8), s * 0.08);
    dc.SetBrush(wxBrush(kLid));
    dc.DrawRoundedRectangle(px(0.1), py(0.12), len(0.8), len(0.16), s * 0.06);

    // The tape and its teeth meet above the pull and part below it, wider the lower
    // they are; at the bottom of its way the pull has closed them all.
    const double top = 0.28, bottom = 0.9, centre = 0.5;
    const int rows = 13;
    const double pitch = (bottom - top) / rows;
    const double pullY = top + pull * (0.72 - top);  // the tab hangs below it
    auto gapAt = [&](double y) { return y < pullY || pull >= 1 ? 0.0 : std::min(0.16, (y - pullY) * 0.5); };
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kLid));
    for (int side : {-1, 1}) {
        const double w = 0.11 * side, open = gapAt(bottom) / 2 * side;
        wxPoint tape[6] = {{px(centre + w), py(top)},
                           {px(centre), py(top)},
                           {px(centre), py(pullY)},
                           {px(centre + open), py(bottom)},
                           {px(centre + open + w), py(bottom)},
                           {px(centre + w), py(pullY)}};
        dc.DrawPolygon(6, tape);
    }
    dc.SetBrush(wxBrush(kTooth));
    for (int i = 0; i < rows; ++i) {
        double y = top + i * pitch;
        double gap = gapAt(y + pitch / 2);
        bool left = i % 2 == 0;
        double x = left ? centre - 0.075 - gap / 2 : centre - 0.015 + gap / 2;
        dc.DrawRectangle(px(x), py(y), len(0.09), len(pitch * 0.7));
    }
    // The pull: a tab hanging from the slider.
    dc.SetPen(wxPen(kTooth, 1));
    dc.SetBrush(wxBrush(kPull));
    dc.DrawRoundedRectangle(px(centre - 0.07), py(pullY - 0.04), len(0.14), len(0.08), s * 0.02);
    dc.DrawRoundedRectangle(px(centre - 0.035), py(pullY + 0.03), len(0.07), len(0.13), s * 0.02);
    dc.SetBrush(wxBrush(kTooth));
    dc.DrawCircle(px(centre), py(pullY + 0.12), std::max<wxCoord>(1, len(0.015)));
}

wxIconBundle quarvaZipIcons() {
    wxIconBundle icons;
    for (int size : {16, 32, 48, 64}) {
        wxImage image(size, size);
        image.InitAlpha();
        std::fill_n(image.GetAlpha(), size * size, 0);
        wxBitmap bitmap(image);
        {
            wxMemoryDC memory(bitmap);
            wxGCDC dc(memory);
            drawZipBox(dc, wxRect(0, 0, size, size), 1);
        }
        wxIcon icon;
        icon.CopyFromBitmap(bitmap);
        icons.AddIcon(icon);
    }
    return icons;
}

CZipAnimation::CZipAnimation(wxWindow* parent, int size)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(size, size)), timer_(this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CZipAnimation::onPaint, this);
    Bind(wxEVT_TIMER, &CZipAnimation::onTimer, this);
}

void CZipAnimation::play() { timer_.Start(60); }

void CZipAnimation::stop() { timer_.Stop(); }

void CZipAnimation::onTimer(wxTimerEvent&) {
    ++frame_;
    Refresh(false);
}

void CZipAnimation::onPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC paint(this);
    paint.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    paint.Clear();
    wxGCDC dc(paint);
    drawZipBox(dc, GetClientRect(), pullAt(frame_));
}

}  // namespace quarva::archive::ui
