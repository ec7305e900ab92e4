#pragma once
// How the main window is shown: the numbers are those saved as "Show".

namespace quarva::archive {

enum class ShowState : int {
    Hide = 0,
    Normal = 1,
    Minimized = 2,
    Maximized = 3,
    Show = 5,
    MinNoActive = 6,
};

}  // namespace quarva::archive
