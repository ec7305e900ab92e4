#include "platform/ui/HelpBook.h"

#include <wx/filename.h>
#include <wx/fs_zip.h>
#include <wx/log.h>
#include <wx/sysopt.h>

namespace quarva::platform {

std::unique_ptr<wxHtmlHelpController> loadHelpBook(wxWindow* parent, const std::filesystem::path& book,
                                                   const wxString& titleFormat) {
    static const bool fileSystemReady = [] {
        // A book is a zip of pages.
        wxFileSystem::AddHandler(new wxZipFSHandler);
        // The desktop's type database may call ".htm" XHTML, which the help window
        // would show as text: the pages are HTML by their extension.
        wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
        return true;
    }();
    (void)fileSystemReady;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(book, ec)) return nullptr;
    auto help = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, parent);
    help->SetTitleFormat(titleFormat);
    // wx complains about a book it cannot read with its own log box: the caller says
    // it once, in the window's words.
    wxLogNull quiet;
    if (!help->AddBook(wxFileName(wxString::FromUTF8(book.string().c_str())), false)) return nullptr;
    return help;
}

}  // namespace quarva::platform
