// The main frame's "Names' C&ode Page" submenu of the View menu: the code page the
// open zip's names are read in when the archive stores them without UTF-8. The
// choice holds for this archive while it is open (a refresh keeps it); another
// archive starts with "Automatic" again. Only the names shown change: the archive
// is never rewritten for it.

#include <iterator>

#include <wx/menu.h>

#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/ui/MainFrame.h"
#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {

struct CodePage {
    const char* label;
    const char* charset;  // as iconv names it; "" automatic
};

constexpr CodePage kCodePages[] = {
    {"&Automatic", ""},
    {"DOS Latin US (437)", "CP437"},
    {"Western European (DOS, 850)", "CP850"},
    {"Western European (Windows, 1252)", "CP1252"},
    {"Central European (DOS, 852)", "CP852"},
    {"Central European (Windows, 1250)", "CP1250"},
    {"Cyrillic (DOS, 866)", "CP866"},
    {"Cyrillic (Windows, 1251)", "CP1251"},
    {"Greek (DOS, 737)", "CP737"},
    {"Greek (Windows, 1253)", "CP1253"},
    {"Turkish (DOS, 857)", "CP857"},
    {"Hebrew (DOS, 862)", "CP862"},
    {"Arabic (Windows, 1256)", "CP1256"},
    {"Thai (874)", "CP874"},
    {"Japanese (Shift JIS, 932)", "CP932"},
    {"Chinese Simplified (GBK, 936)", "GBK"},
    {"Chinese Traditional (Big5, 950)", "BIG5"},
    {"Korean (949)", "CP949"},
};
constexpr int kCodePageCount = static_cast<int>(std::size(kCodePages));
// The submenu's own item, then one per code page (below the fixed command numbers
// that the window toolkit sees from 2800 on).
constexpr int kCodePageMenu = 2740, kCodePageFirst = 2741, kCodePageLast = kCodePageFirst + kCodePageCount - 1;
static_assert(kCodePageLast < 2800);

constexpr const char* kCodePageMenuText = "Names' C&ode Page";
constexpr const char* kCodePageMenuPrompt =
    "Read the names of a zip made without UTF-8 in the code page it was made in";
constexpr const char* kAutomaticPrompt = "Read the names in code page 437, or in Shift JIS where a name shows it";
constexpr const char* kCodePagePrompt = "Read the names stored without UTF-8 in this code page";
constexpr const char* kCodePageMissing = "The names cannot be read in the code page ";

}  // namespace

void CMainFrame::buildCodePageMenu() {
    wxMenuBar* bar = GetMenuBar();
    int at = bar->FindMenu("View");
    if (at == wxNOT_FOUND) return;
    wxMenu* view = bar->GetMenu(static_cast<size_t>(at));
    auto* pages = new wxMenu;
    for (int i = 0; i < kCodePageCount; ++i)
        pages->AppendRadioItem(kCodePageFirst + i, kCodePages[i].label, i == 0 ? kAutomaticPrompt : kCodePagePrompt);
    // Beside "R&efresh", which lists the archive again as this choice does.
    size_t refreshAt = 0;
    if (view->FindChildItem(cmd::Refresh, &refreshAt))
        view->Insert(refreshAt + 1, kCodePageMenu, kCodePageMenuText, pages, kCodePageMenuPrompt);
    else view->AppendSubMenu(pages, kCodePageMenuText, kCodePageMenuPrompt)->SetId(kCodePageMenu);
    Bind(wxEVT_MENU, &CMainFrame::onCodePage, this, kCodePageFirst, kCodePageLast);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::onUpdateCodePage, this, kCodePageMenu, kCodePageLast);
}

void CMainFrame::onUpdateCodePage(wxUpdateUIEvent& event) {
    // Other kinds keep their names in Unicode or go through the format library.
    event.Enable(session_.doc.open && session_.app.archiveKind == ArchiveKind::Zip);
    if (event.GetId() == kCodePageMenu) return;
    event.Check(session_.doc.wrapper().namesCharset() == kCodePages[event.GetId() - kCodePageFirst].charset);
}

void CMainFrame::onCodePage(wxCommandEvent& event) {
    if (!session_.doc.open || session_.app.archiveKind != ArchiveKind::Zip) return;
    const CodePage& page = kCodePages[event.GetId() - kCodePageFirst];
    if (!session_.doc.wrapper().setNamesCharset(page.charset)) {
        session_.prompts.message(std::string(kCodePageMissing) + page.charset + " on this system.", text::kCaption,
                                 platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    trace(std::string("names: ") + (*page.charset ? page.charset : "automatic"));
    session_.refresh();
}

}  // namespace quarva::archive::ui
