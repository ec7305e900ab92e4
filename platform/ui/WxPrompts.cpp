#include "platform/ui/WxPrompts.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

namespace quarva::platform {

namespace {

long iconStyle(Icon icon) {
    switch (icon) {
    case Icon::Stop: return wxICON_ERROR;
    case Icon::Question: return wxICON_QUESTION;
    case Icon::Exclamation: return wxICON_WARNING;
    case Icon::Information: return wxICON_INFORMATION;
    case Icon::None: return wxICON_NONE;
    }
    return wxICON_NONE;
}

wxString text(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

}  // namespace

Answer WxPrompts::messageBox(const MessageBoxRequest& request) {
    auto answers = buttonAnswers(request.buttons);
    Answer preferred = defaultAnswer(request);
    long style = iconStyle(request.icon);
    switch (request.buttons) {
    case Buttons::Ok: style |= wxOK; break;
    case Buttons::OkCancel: style |= wxOK | wxCANCEL | (preferred == Answer::Cancel ? wxCANCEL_DEFAULT : 0); break;
    case Buttons::YesNo: style |= wxYES_NO | (preferred == Answer::No ? wxNO_DEFAULT : 0); break;
    case Buttons::YesNoCancel:
        style |= wxYES_NO | wxCANCEL | (preferred == Answer::No ? wxNO_DEFAULT : 0) |
                 (preferred == Answer::Cancel ? wxCANCEL_DEFAULT : 0);
        break;
    case Buttons::RetryCancel: style |= wxOK | wxCANCEL; break;           // OK carries "Retry"
    case Buttons::AbortRetryIgnore: style |= wxYES_NO | wxCANCEL; break;  // relabelled below
    }
    if (observer_) observer_(request);
    wxMessageDialog dialog(parent_, text(request.text), text(request.caption), style);
    if (request.buttons == Buttons::RetryCancel) dialog.SetOKCancelLabels("&Retry", "Cancel");
    if (request.buttons == Buttons::AbortRetryIgnore) dialog.SetYesNoCancelLabels("&Abort", "&Retry", "&Ignore");
    int result = dialog.ShowModal();
    switch (request.buttons) {
    case Buttons::RetryCancel: return result == wxID_OK ? Answer::Retry : Answer::Cancel;
    case Buttons::AbortRetryIgnore:
        return result == wxID_YES ? Answer::Abort : result == wxID_NO ? Answer::Retry : Answer::Ignore;
    default: break;
    }
    switch (result) {
    case wxID_OK: return Answer::Ok;
    case wxID_YES: return Answer::Yes;
    case wxID_NO: return Answer::No;
    case wxID_CANCEL: return answers.size() == 1 ? answers.front() : Answer::Cancel;
    default: return preferred;
    }
}

std::optional<std::string> WxPrompts::askText(const TextRequest& request) {
    long style = wxOK | wxCANCEL | wxCENTRE;
    if (request.secret) {
        wxPasswordEntryDialog dialog(parent_, text(request.text), text(request.caption), text(request.initial), style);
        if (dialog.ShowModal() != wxID_OK) return std::nullopt;
        return std::string(dialog.GetValue().utf8_str());
    }
    wxTextEntryDialog dialog(parent_, text(request.text), text(request.caption), text(request.initial), style);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return std::string(dialog.GetValue().utf8_str());
}

std::optional<std::filesystem::path> WxPrompts::chooseFile(const FileRequest& request) {
    if (request.kind == FileRequest::Kind::Folder) {
        wxDirDialog dialog(parent_, text(request.title), text(request.initialFolder.string()));
        if (dialog.ShowModal() != wxID_OK) return std::nullopt;
        return std::filesystem::path(std::string(dialog.GetPath().utf8_str()));
    }
    long style = request.kind == FileRequest::Kind::Save ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT)
                                                         : (wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    // Filters come as "Text|*.x|Text|*.y||"; wx wants no trailing empty pairs.
    std::string filter = request.filter;
    while (!filter.empty() && filter.back() == '|') filter.pop_back();
    wxFileDialog dialog(parent_, text(request.title), text(request.initialFolder.string()), text(request.initialName),
                        filter.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : text(filter), style);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return std::filesystem::path(std::string(dialog.GetPath().utf8_str()));
}

}  // namespace quarva::platform
