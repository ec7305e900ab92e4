#pragma once
// Texts between the core (UTF-8 std::string) and wxWidgets.

#include <string>

#include <wx/string.h>

namespace quarva::archive::ui {

inline wxString wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
inline std::string utf8(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace quarva::archive::ui
