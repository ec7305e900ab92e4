#pragma once
// The texts of the archive manager's dialogs and of the commands that open them,
// gathered in one place so they can be checked against what the user is meant to see.

namespace quarva::archive::dlgtext {

// The add dialogs.
inline constexpr char kFileSelectTitle[] = "File(s) Select Dialog Box";
inline constexpr char kAddFilesTitle[] = "Add";
inline constexpr char kAllFilesFilter[] = "All Files (*.*)";
inline constexpr const char* kActions[] = {"Add (and replace) files", "Freshen existing files",
                                           "Update (and add) files"};
inline constexpr const char* kCompressions[] = {"None", "Super Fast", "Fast", "Normal", "Maximum ( Slowest )"};
inline constexpr const char* kSpanningChoices[] = {"Automatic", "Automatic + wipe disk prompt", "No Spanning"};
inline constexpr char kRemovableOnly[] = "Removable media only";
inline constexpr char kWildcardHintLibrary[] =
    "Enter wild cards like *.*, ?a.doc etc in File Name box to use this feature for this archive file\n";
inline constexpr char kWildcardHintZip[] =
    "Enter wild cards  like *.*, ?a.txt etc in File Name box to use this feature\nSeparate wildcards with single "
    "space.";
inline constexpr char kCopiedFolderRoot[] = "File Copied : %s*.*";
inline constexpr char kCopiedFolder[] = "File Copied : %s/*.*";
inline constexpr char kCopiedFile[] = "File Copied : %s";
inline constexpr char kCopiedMany[] = "Total %d files Copied";
inline constexpr char kArchiveNameEmpty[] = "Archive name is empty\nPlease specify a valid name";

// The password dialog.
inline constexpr char kPasswordMismatch[] = "Password re-entered doesn't match";

// The folder chooser.
inline constexpr char kSelectExtractFolder[] = "Select Extract Folder";
inline constexpr char kExtractTo[] = "Extract To";
inline constexpr char kMoveTo[] = "Move To";
inline constexpr char kCopyTo[] = "Copy To";
inline constexpr char kInvalidFolder[] = "Invalid Folder";

// Deleting entries and the archive file.
inline constexpr char kDeleteTitle[] = "Delete";
inline constexpr char kEnterValidFilter[] = "Enter a valid filter";
inline constexpr char kRenameTitle[] = "Rename %s To:";
inline constexpr char kCannotRename[] = "Cannot Rename!\nThe source and destination file names are same";

// Fixing an archive.
inline constexpr char kFixCaution[] = "Caution: Use fix only on a corrupt zip archive/zip archive that failed to open.";
inline constexpr char kFixTitle[] = "Fix Archive";
inline constexpr char kFixFilter[] = "Zip Files (*.zip)|*.zip";
inline constexpr char kZeroByteFile[] = "Zero byte file!\nAborting.";
inline constexpr char kBackupSuffix[] = "_OLD.zip";
inline constexpr char kBackupNotice[] = "As a precaution archive will be backed up as \n";
inline constexpr char kBackedUp[] = "Archive has been backed up";
inline constexpr char kModerateFailed[] =
    "Moderate attempt failed.\nProceed with agressive recovery?\n(Use the backup file in case of data loss)";
inline constexpr char kCouldNotFix[] =
    "Archive couldn't be fixed.\nIf you downloaded the file Try downloading it again.";
inline constexpr char kFixedOpen[] = "Fixed archive.\nOpen it ?";

// Converting, self-extractors and encoding.
inline constexpr char kSaveAsTitle[] = "Save As...";
inline constexpr char kEncodeTitle[] = "Encode...";
inline constexpr char kTargetEmpty[] = "Target Archive Name empty !";
inline constexpr char kErrorWhileSaving[] = "An error occurred while saving.\n\tDo you want to see the log ?";
inline constexpr char kConverted[] = "Successfully converted %s to %s";
inline constexpr char kSaveAsFilter[] =
    "Blak Hole File(*.bh)|*.bh|LHA File(*.lha)|*.lha|LZH File (*.lzh)|*.lzh|Cab File (*.cab)|*.cab|Zip File "
    "(*.zip)|*.zip|TAR File (*.tar)|*.tar|GZip TAR File(*.gz)|*.gz|Jar File (*.jar)|*.jar";
inline constexpr char kEncodeFilter[] = "UUEncoded (*.uue)|*.uue|XXEncoded (*.xxe)|*.xxe|All Files (*.*)|*.*";

// The text window.
inline constexpr char kTestResults[] = "Test Results";
inline constexpr char kLastLog[] = "View Last Activity Log";
inline constexpr char kComments[] = "Comments";

// The properties page.
inline constexpr char kMultipleTypes[] = "Multiple Types";
inline constexpr char kDifferentRatios[] = "Different Ratios";

}  // namespace quarva::archive::dlgtext
