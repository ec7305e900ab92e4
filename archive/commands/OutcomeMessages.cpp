#include "archive/commands/OutcomeMessages.h"

#include <map>

#include "archive/commands/Texts.h"

namespace quarva::archive {

std::optional<std::string> outcomeMessage(unsigned status) {
    static const std::map<OutcomeCode, const char*> table = {
        {OutcomeCode::ArchiveNotFound, "Archive Not Found"},
        {OutcomeCode::ZeroLength, "Archive file corrupted/zero byte length!"},
        {OutcomeCode::NoMemory, "Not Enough Memory"},
        {OutcomeCode::Configuration, "Configuration Error"},
        {OutcomeCode::NoMatches, "No matches Found."},
        {OutcomeCode::DiskFull, "Disk out of Space"},
        {OutcomeCode::UnexpectedEof, "Unexpected End of File.Corrupt Archive"},
        {OutcomeCode::LibraryInUse, "Library in Use"},
        {OutcomeCode::UserAborted, "User Aborted"},
        {OutcomeCode::CrcFailed, "Testing Failed.CRC check Failed"},
        {OutcomeCode::CouldNotTest, "Couldn't test any files"},
        {OutcomeCode::CouldNotLoad, "Couldn't Load DLL"},
        {OutcomeCode::Unexpected, "Unexpected Error occurred"},
        {OutcomeCode::NothingTested, "Couldn't test any files"},
        {OutcomeCode::RemovesParentFolder, "Couldn't continue. Continuing will remove the parent directory also..."},
        {OutcomeCode::DuplicateNames,
         "Two or more files with same name were tried to add to archive\nCheck 'save full path info' box."},
        {OutcomeCode::EmptyArchive, "Update Zip date couldn't update. Archive is empty."},
        {OutcomeCode::Access, "Couldn't access the file. The file may be read only"},
        {OutcomeCode::Corrupt,
         "Couldn't continue. File may be corrupt\nIf you downloaded the file, try downloading it again"},
        {OutcomeCode::WrongDisk, "Couldn't continue. Wrong disk was repeatedly inserted"},
        {OutcomeCode::Spanned, "Couldn't continue. The archive is spanned."},
        {OutcomeCode::LibraryNotLoaded, "Couldn't find one of the components or a dll\n\tAborting Operation"},
        {OutcomeCode::LibraryNoEntryPoint, "Corrupt version of DLL found\n\tAborting Operation"},
        {OutcomeCode::NoCentralDirectory,
         "This zip has no central directory (it was streamed, or cut off before its end).\nIts files can be "
         "viewed, tested and extracted, but nothing can be added or deleted.\nRepair it first with \"Fix Zip\" "
         "in the Actions menu."},
    };
    if (status > 0xFFFF) return std::nullopt;
    auto it = table.find(static_cast<OutcomeCode>(status));
    if (it == table.end()) return std::nullopt;
    return std::string(it->second);
}

void COutcomeReporter::reportOutcome(unsigned status, bool offerLogToo) {
    auto message = outcomeMessage(status);
    if (!message) return;
    if (status == OutcomeCode::Access && refresh_) refresh_();
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
