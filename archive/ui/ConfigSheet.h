#pragma once
// The "Configuration" property sheet: the "View", "Folders" and "System" pages over
// the values of ConfigSheetValues. Each check box changes its own bit when it is
// clicked; after "OK" the caller takes values() and applies them.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <wx/panel.h>
#include <wx/propdlg.h>

#include "archive/utilities/ConfigPages.h"

class wxCheckBox;

namespace quarva::archive::ui {

using TraceLine = std::function<void(const std::string&)>;

class CConfigViewPage : public wxPanel {
public:
    CConfigViewPage(wxWindow* parent, std::uint32_t& viewBits);

private:
    void onDefaults();
    std::uint32_t& viewBits_;
    std::vector<std::pair<wxCheckBox*, std::uint32_t>> boxes_;
};

class CConfigFolderPage : public wxPanel {
public:
    CConfigFolderPage(wxWindow* parent, ConfigSheetValues& values);
};

class CConfigSystemPage : public wxPanel {
public:
    CConfigSystemPage(wxWindow* parent, std::uint32_t& systemBits);

private:
    void enableShellOptions();
    std::uint32_t& systemBits_;
    std::vector<wxCheckBox*> shellOptions_;  // the boxes that depend on the first one
};

class CConfigSheet : public wxPropertySheetDialog {
public:
    CConfigSheet(wxWindow* parent, const ConfigSheetValues& values, TraceLine trace);
    const ConfigSheetValues& values() const { return values_; }

private:
    ConfigSheetValues values_;
    TraceLine trace_;
};

}  // namespace quarva::archive::ui
