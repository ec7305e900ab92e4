#pragma once
// UTF-8 strings of the logic to and from the texts of wx controls.

#include <string>

#include <wx/string.h>

namespace quarva::archive::ui {

inline wxString toWx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
inline std::string fromWx(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace quarva::archive::ui
