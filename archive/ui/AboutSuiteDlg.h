#pragma once
// "About Quarva.Zip Suite": the zipper animation, the version, and links to the
// maker's sales and support mail and web site.

#include <wx/dialog.h>

namespace quarva::archive::ui {

inline constexpr char kSalesMail[] = "sales@quarva.software";
inline constexpr char kSupportMail[] = "support@quarva.software";
inline constexpr char kMakerWebSite[] = "https://www.quarva.software/";

class CAboutSuiteDlg : public wxDialog {
public:
    explicit CAboutSuiteDlg(wxWindow* parent);
};

}  // namespace quarva::archive::ui
