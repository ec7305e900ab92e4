#include "archive/commands/OutcomeMessages.h"

#include <map>

#include "archive/commands/Texts.h"

namespace quarva::archive {

std::optional<std::string> outcomeMessage(unsigned code) {
    static const std::map<unsigned, const char*> table = {
        {100, "Archive Not Found"},
        {110, "Archive file corrupted/zero byte length!"},
        {120, "Not Enough Memory"},
        {130, "Configuration Error"},
        {140, "No matches Found."},
        {150, "Disk out of Space"},
        {160, "Unexpected End of File.Corrupt Archive"},
        {180, "Library in Use"},
        {190, "User Aborted"},
        {200, "Testing Failed.CRC check Failed"},
        {210, "Couldn't test any files"},
        {240, "Couldn't Load DLL"},
        {250, "Unexpected Error occurred"},
        {280, "Couldn't test any files"},
        {350, "Couldn't continue. Continuing will remove the parent directory also..."},
        {370, "Two or more files with same name were tried to add to archive\nCheck 'save full path info' box."},
        {380, "Update Zip date couldn't update. Archive is empty."},
        {400, "Couldn't access the file. The file may be read only"},
        {410, "Couldn't continue. File may be corrupt\nIf you downloaded the file, try downloading it again"},
        {420, "Couldn't continue. Wrong disk was repeatedly inserted"},
        {430, "Couldn't continue. The archive is spanned."},
        {1000, "Couldn't find one of the components or a dll\n\tAborting Operation"},
        {1010, "Corrupt version of DLL found\n\tAborting Operation"},
    };
    auto it = table.find(code);
    if (it == table.end()) return std::nullopt;
    return std::string(it->second);
}

void COutcomeReporter::reportOutcome(unsigned code, bool offerLogToo) {
    auto message = outcomeMessage(code);
    if (!message) return;
    if (code == 400 && refresh_) refresh_();
    if (offerLogToo) {
        auto answer = prompts_.message(*message + text::kSeeLogFile, text::kCaption, platform::Buttons::YesNo,
                                       platform::Icon::Stop);
        if (answer == platform::Answer::Yes && showLog_) showLog_();
    } else {
        prompts_.message(*message, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
    }
}

void COutcomeReporter::offerLog(const std::string& question) {
    auto answer = prompts_.message(question, text::kCaption, platform::Buttons::YesNo, platform::Icon::Stop);
    if (answer == platform::Answer::Yes && showLog_) showLog_();
}

std::string fileErrorText(OperationKind kind, const FileErrorReport& report) {
    std::string out;
    switch (kind) {
    case OperationKind::Extract: out = text::kErrorExtracting + report.fileName + text::kCause + report.cause; break;
    case OperationKind::Add: out = text::kErrorAdding + report.fileName + text::kCause + report.cause; break;
    case OperationKind::List: out = text::kErrorListing + report.listedName + text::kCause + report.cause; break;
    case OperationKind::Delete: out = text::kErrorDeleting + report.fileName + text::kDeleteCause + report.cause; break;
    default: return {};
    }
    if (!report.details.empty()) out += text::kDetails + report.details;
    return out;
}

}  // namespace quarva::archive
