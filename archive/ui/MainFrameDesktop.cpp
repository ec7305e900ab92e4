// The desktop's own commands: the file manager over D-Bus, printing the list.

#include "archive/ui/MainFrame.h"

#include <filesystem>

#include <wx/choicdlg.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/html/htmprint.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "archive/commands/DropPlan.h"
#include "archive/commands/StatusTexts.h"
#include "archive/core/CommandLineActions.h"
#include "archive/ui/InterfaceDropTarget.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/PathText.h"
#include "archive/ui/DesktopShell.h"
#include "archive/ui/DesktopTypes.h"
#include "archive/ui/LeftView.h"
#include "archive/ui/QuarvaZipView.h"
#include "archive/ui/UiTrace.h"
#include "archive/ui/UsefulSplitterWnd.h"
#include "archive/ui/WxText.h"

namespace fs = std::filesystem;

namespace quarva::archive::ui {

namespace {
constexpr char kNoPropertiesPage[] = "No file manager on this desktop can show the properties of\n";
}  // namespace

bool CMainFrame::launch(const std::vector<std::string>& command) { return session_.launcher.launch(command, true); }

void CMainFrame::onOpenContainingFolder() {
    const std::string& path = session_.doc.archivePath;
    if (path.empty()) return;
    // The file manager shows the archive selected; without one on the bus the folder opens.
    if (!fileManagerShowItem(path)) launch({"xdg-open", fileUri(fs::path(path).parent_path().string())});
}

void CMainFrame::onProperties() {
    const std::string& path = session_.doc.archivePath;
    if (!path.empty() && !fileManagerShowProperties(path))
        session_.prompts.message(kNoPropertiesPage + path, text::kCaption, platform::Buttons::Ok,
                                 platform::Icon::Information);
}

void CMainFrame::onMyComputer() {
    if (!fileManagerShowFolder("/")) launch({"xdg-open", "file:///"});
}

void CMainFrame::onPrint() {
    // The list as a table, through the desktop's print dialog (which also prints to PDF).
    const CFileListModel& model = list_->model();
    wxString html = "<html><body><h3>" + wxString(toWx(session_.doc.archivePath)).Trim() +
                    "</h3><table border=1 cellspacing=0 cellpadding=2><tr>";
    for (const char* title : kColumnTitles) html += wxString("<th>") + title + "</th>";
    html += "</tr>";
    auto escape = [](const std::string& text) {
        wxString out;
        for (wxUniChar c : toWx(text)) {
            if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c == '&') out += "&amp;";
            else out += c;
        }
        return out;
    };
    for (std::size_t row = 0; row < model.size(); ++row) {
        html += "<tr>";
        for (int column = 0; column < kColumnCount; ++column)
            html += "<td>" + escape(model.text(row, column)) + "</td>";
        html += "</tr>";
    }
    html += "</table></body></html>";
    wxHtmlEasyPrinting printing(text::kCaption, this);
    printing.PrintText(html);
}

}  // namespace quarva::archive::ui
