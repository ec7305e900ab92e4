#include "splitter/ui/SplitIcon.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/icon.h>
#include <wx/image.h>

namespace quarva::splitter::ui {

namespace {

wxIcon drawIcon(int size) {
    wxImage image(size, size);
    image.InitAlpha();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) image.SetAlpha(x, y, 0);
    const double u = size / 16.0;
    auto fill = [&](double x0, double y0, double x1, double y1, unsigned char r, unsigned char g, unsigned char b) {
        for (int y = static_cast<int>(y0 * u); y < static_cast<int>(y1 * u); ++y)
            for (int x = static_cast<int>(x0 * u); x < static_cast<int>(x1 * u); ++x) {
                image.SetRGB(x, y, r, g, b);
                image.SetAlpha(x, y, 255);
            }
    };
    // Two halves of a page, each with a border and a few lines of "text".
    for (double top : {1.0, 9.0}) {
        fill(2, top, 14, top + 6, 40, 70, 140);
        fill(3, top + 1, 13, top + 5, 250, 250, 250);
        fill(4, top + 2, 12, top + 2.6, 120, 140, 180);
        fill(4, top + 3.4, 10, top + 4, 120, 140, 180);
    }
    // The cut.
    fill(0, 7.4, 16, 8.6, 210, 40, 40);
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

}  // namespace

wxIconBundle splitterIcons() {
    wxIconBundle icons;
    icons.AddIcon(drawIcon(16));
    icons.AddIcon(drawIcon(32));
    icons.AddIcon(drawIcon(48));
    return icons;
}

}  // namespace quarva::splitter::ui
