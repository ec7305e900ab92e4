#pragma once
// The help window over a zipped wxHtmlHelp book (.htb) of the installed folder.

#include <filesystem>
#include <memory>

#include <wx/html/helpctrl.h>

namespace quarva::platform {

// A help controller holding `book`, its window titled by `titleFormat` ("%s" is the
// book's title); null when the book is missing or cannot be read (nothing is shown).
std::unique_ptr<wxHtmlHelpController> loadHelpBook(wxWindow* parent, const std::filesystem::path& book,
                                                   const wxString& titleFormat);

}  // namespace quarva::platform
