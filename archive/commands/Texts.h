#pragma once
// The user-visible texts of the archive manager's operations, gathered in one place
// so they can be checked against what the user is meant to see.

namespace quarva::archive::text {

inline constexpr char kCaption[] = "Quarva.Zip Suite";

// Busy dialog.
inline constexpr char kBusyInitial[] = "Processing...";
inline constexpr char kOpening[] = "Opening...";
inline constexpr char kRefreshing[] = "Refreshing...";
inline constexpr char kConverting[] = "Converting...";
inline constexpr char kAddingFile[] = "Adding file\n";
inline constexpr char kExtractingFile[] = "Extracting file\n";
inline constexpr char kTestingFile[] = "Testing file\n";

// Activity-log lines.
inline constexpr char kLogAddHeader[] = "Action: Add (and replace) files \r\n";
inline constexpr char kLogIncludeHidden[] = "Include hidden files : ";
inline constexpr char kLogIncludeSubfolders[] = "Include Subfolders : ";
inline constexpr char kLogSavePathInfo[] = "Save Path Info : ";
inline constexpr char kLogExtractHeader[] = "Action: Extract files \r\n";
inline constexpr char kLogWildcard[] = "Wildcard: ";
inline constexpr char kLogExtractDirectory[] = "Extract Directory : ";
inline constexpr char kLogOverwrite[] = "Overwrite : ";
inline constexpr char kLogDeleteHeader[] = "Action: Delete files \r\n";
inline constexpr char kLogTestHeader[] = "Action: Testing files \r\n";
inline constexpr char kLogYes[] = "Yes\r\n";
inline constexpr char kLogNo[] = "No\r\n";
inline constexpr char kLineEnd[] = "\r\n";

inline constexpr char kLogFile[] = "File : ";
inline constexpr char kLogOk[] = " : OK\r\n";
inline constexpr char kLogSkipped[] = " : Skipped\r\n";
inline constexpr char kLogSkippedBecause[] = " : Skipped (";
inline constexpr char kLogSkipingFile[] = "Skiping File : ";
inline constexpr char kLogTestingFailed[] = "Testing : ";
inline constexpr char kLogTestingPassed[] = "Testing  : ";
inline constexpr char kLogError[] = " : Error\r\n";

inline constexpr char kErrorExtracting[] = "Error Extracting file ";
inline constexpr char kErrorAdding[] = "Error Adding file ";
inline constexpr char kErrorListing[] = "Error Listing file ";
inline constexpr char kErrorDeleting[] = "Error Deleting file ";
inline constexpr char kCause[] = "\r\nCause : ";
inline constexpr char kDeleteCause[] = "\n\tCause : ";
inline constexpr char kDetails[] = "\r\nDetails : ";

// Log offers after an operation.
inline constexpr char kErrorWhileAdding[] = "An error occurred while adding.\n\tDo you want to see the log ?";
inline constexpr char kErrorWhileExtracting[] = "An error occurred while extracting.\n\tDo you want to see the log ?";
inline constexpr char kErrorWhileDeleting[] = "An error occurred while deleting.\n\tDo you want to see the log ?";
inline constexpr char kErrorWhileListing[] = "An error occurred while listing.\n\tDo you want to see the log ?";
inline constexpr char kSeeLogFile[] = "\nDo you want to see the log file ?";

// Status bar.
inline constexpr char kListing[] = "Listing...";
inline constexpr char kErrorInListing[] = "Error in Listing...";
inline constexpr char kErrorInListingFilter[] = "Error in listing...";
inline constexpr char kPopulatingList[] = "Populating list...";
inline constexpr char kCompleted[] = "Completed...";

// Disk spanning.
inline constexpr char kInsertDisk[] = "Please insert disk #%d to continue.";
inline constexpr char kInsertLastDisk[] = "Please insert last disk to continue";
inline constexpr char kNewDiskCaption[] = "Quarva.Zip Suite Disk Spanning";
inline constexpr char kInsertNewDisk[] = "Insert Disk #%d to continue";
inline constexpr char kEraseDisk[] = "&Erase Contents of disk";
inline constexpr char kFileExistsInDrive[] = " exists in the drive\nPlease insert another disk";

// Password dialog.
inline constexpr char kPasswordCaption[] = "Enter password";
inline constexpr char kPasswordNote[] =
    "Note : Password will be applied to the files you subsequently add to or extract from the current "
    "archive.\nSupport: .zip, .bh and .jar files only.";

}  // namespace quarva::archive::text
