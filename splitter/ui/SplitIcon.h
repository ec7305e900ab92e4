#pragma once
// The program's icon, drawn in code: a page cut in two with a gap between the halves.

#include <wx/iconbndl.h>

namespace quarva::splitter::ui {

wxIconBundle splitterIcons();

}  // namespace quarva::splitter::ui
