#pragma once
// Every text the file splitter shows, in one place so it can be checked word for word.

namespace quarva::splitter::texts {

// Caption of plain message boxes and of the window.
inline constexpr const char* kAppCaption = "Quarva.Split";

// Splitting.
inline constexpr const char* kCheckValues = "Check the values entered.";
inline constexpr const char* kVerifyValues = "Verify the values entered \nand retry the operation";
inline constexpr const char* kMemoryInsufficient = "Memory insufficient";
inline constexpr const char* kNameEmpty = "Destination or source file name \n is empty";
inline constexpr const char* kDiskInfoFailed = "Aborting due to failure in \n obtaining disk info...";
inline constexpr const char* kNotEnoughSpace = "Not enough disk space.";
inline constexpr const char* kErrorReadingPrefix = "Error reading ";
inline constexpr const char* kChunkTooLarge = "Size of chunk should be lesser than source file";
inline constexpr const char* kChunkSameSize =
    "The chunk size and source file size are same. Splitting is not necessary.";
inline constexpr const char* kChunkZero = "Destination file length should be greater than zero";
inline constexpr const char* kDiskNotInserted = "Disk not inserted";
inline constexpr const char* kInsertAnotherDisk = "Insert another disk and press OK";
inline constexpr const char* kInsertAnotherDiskCaption = "Inset new disk";
inline constexpr const char* kCompleted = "Operation Status:\n Completed successfully";
inline constexpr const char* kProgressFormat = "Processed: %d\nRemaining: %d";

// Rejoining.
inline constexpr const char* kSpecifyOutputFolder = "Specify ouput folder";
inline constexpr const char* kInsertDiskContainingFormat = "Insert disk containing file %s \n and press OK";
inline constexpr const char* kContinueCaption = "Continue ?";
inline constexpr const char* kDoubtfulData = "Doubtful inconsistence of data..\n Click OK to abort and retry";
inline constexpr const char* kInsertNextDisk = "Insert next disk and click OK";

// Removable media.
inline constexpr const char* kOperationsOnDrive = "Operations on drive ";
inline constexpr const char* kRemovableTail =
    " removable media unsuccessful \n You can continue by clicking OK \n after inserting another disk for a write "
    "operation";
inline constexpr const char* kFixedTail = " fixed media (or Network drive) unsuccessful\n";
inline constexpr const char* kRetryCaption = "Continue?";

// The window.
inline constexpr const char* kSourceNotDefined = "Source file not defined \n or is not correct";
inline constexpr const char* kDestinationWrong = "Destination folder is not defined \n or is wrong";
inline constexpr const char* kEnterSio = "Enter .sio file";
inline constexpr const char* kEnterSioOrSpl = "Enter .sio or .spl file";
inline constexpr const char* kSingleDrop = "Drag-and-drop a single file/folder";
inline constexpr const char* kFileNotAccessible = "File does not exist or\ncould not be accessed";
inline constexpr const char* kNotFoundSuffix = " not found.";
inline constexpr const char* kNoCurrentDirectory = "Error getting current directory";
inline constexpr const char* kSuspended = "The current operation is suspended.\n Continue?";
inline constexpr const char* kSuspendedCaption = "User interruption";
inline constexpr const char* kFileSizeFormat = "File size is %u bytes";
inline constexpr const char* kCaptionPrefix = "Quarva.Split: ";
inline constexpr const char* kRefreshCaptionPrefix = "Quarva.Split ";
inline constexpr const char* kChooseSplitFile = "Choose a file for splitting";
inline constexpr const char* kSplitFilter =
    "All Files (*.*)|*.*|Movie Files (*.dat)|*.dat|Music Files (*.wav;*.mp3)|*.wav;*.mp3||";
inline constexpr const char* kChooseSioFile = "Choose the SIO file from the location of split files";
inline constexpr const char* kSioFilter = "SIO files (*.sio)|*.sio||";
inline constexpr const char* kChooseSplitFolder = "Choose a folder for keeping split files";
inline constexpr const char* kChooseRejoinFolder = "Choose a folder to keep rejoined file ";
inline constexpr const char* kModeSplit = "Split";
inline constexpr const char* kModeRejoin = "Rejoin";
inline constexpr const char* kOpenSourceLabel = "&Open source";
inline constexpr const char* kOpenSioLabel = "&Open .sio file";
inline constexpr const char* kSplitAction = "S&plit";
inline constexpr const char* kRejoinAction = "&Rejoin";
inline constexpr const char* kInBytes = "In bytes:";
inline constexpr const char* kInKiloBytes = "In kilo bytes:";
inline constexpr const char* kInMegaBytes = "In mega bytes:";
inline constexpr const char* kTotalFiles = "Total files:";

// Size menu entries and their status-bar labels.
inline constexpr const char* kMenuFloppy = "&Floppy(1.44 MB)";
inline constexpr const char* kMenuTenMb = "1&0 MB Chunks";
inline constexpr const char* kMenuHundredMb = "&100 MB Chunks";
inline constexpr const char* kMenuBytes = "&Bytes";
inline constexpr const char* kMenuKiloBytes = "&Kilo Bytes [KB]";
inline constexpr const char* kMenuMegaBytes = "&Mega Bytes [MB]";
inline constexpr const char* kMenuFiles = "&Files";
inline constexpr const char* kLabelFloppy = "1.44 MB";
inline constexpr const char* kLabelTenMb = "10 MB";
inline constexpr const char* kLabelHundredMb = "100 MB";
inline constexpr const char* kLabelBytes = "Custom [bytes]";
inline constexpr const char* kLabelKiloBytes = "Custom [KB]";
inline constexpr const char* kLabelMegaBytes = "Custom [MB]";
inline constexpr const char* kLabelFiles = "File count";

// Settings and automation.
inline constexpr const char* kDoesNotExistCreate = " does not exist. \n Create it?";
inline constexpr const char* kCreateWorkingCaption = "Create working directory";
inline constexpr const char* kCreateStartupCaption = "Create startup directory";
inline constexpr const char* kCannotCreateDirectory = "Cannot create directory ";
inline constexpr const char* kErrorCreatingDirectoryCaption = "Error creating directory";
inline constexpr const char* kPathNotFolder = "Path is not a folder";

// Refusals of input the split-set format cannot hold or that is unsafe to use.
inline constexpr const char* kSourceTooLarge =
    "The source file is 4 GB or larger.\n A split set cannot hold files of that size.";
inline constexpr const char* kChunkSizeTooLarge =
    "The chunk size entered is too large.\n A chunk must be smaller than 4 GB.";
inline constexpr const char* kNameTooLong = "The file name is too long";
inline constexpr const char* kBadInfoFilePrefix =
    "The information file is damaged or is not an information file of a split set:\n";
inline constexpr const char* kSetDoesNotMatch =
    "The split files do not match their information file.\n The rejoined file has been removed.";
inline constexpr const char* kOutputIsInfoFile =
    "The rejoined file would replace the information file.\n Choose another destination folder.";
inline constexpr const char* kWriteErrorPrefix = "An error occurred while writing ";
inline constexpr const char* kSourceOnErasedDisk =
    "The source file is on the disk that would be erased.\n Choose another destination or turn the erase option off.";
inline constexpr const char* kCannotErasePrefix = "Cannot erase ";
inline constexpr const char* kAlreadyRunning = "An operation is already running.";

// A full destination that is not a removable disk ends the split; the set is removed.
inline constexpr const char* kDestinationFullPrefix = "The destination ";
inline constexpr const char* kDestinationFullSuffix = " is full.\n The split files written so far have been removed.";
// A chunk that cannot fit even on an empty disk of the destination's size.
inline constexpr const char* kChunkLargerThanDisk =
    "A chunk is larger than the whole disk.\n Choose a smaller chunk size.";
// A rejoin whose output name is already taken.
inline constexpr const char* kReplaceExistingSuffix = " already exists.\n Replace it with the rejoined file?";
inline constexpr const char* kExistingKeptSuffix =
    " already exists and has been left as it is.\n Give --overwrite to replace it.";
inline constexpr const char* kOutputIsFolderSuffix = " is a folder.\n Choose another destination folder.";

// For the window: tooltips, commands and help topics (paths below the installed folder).
inline constexpr const char* kTipSelectFile = "Select a file to split";
inline constexpr const char* kTipDestination = "Select the working folder";
inline constexpr const char* kTipSplitMode = "Select split mode";
inline constexpr const char* kTipRejoinMode = "Select rejoin mode";
inline constexpr const char* kTipCustomSize = "Enter the custom size";
inline constexpr const char* kTipCancel = "Exit Quarva.Split";
inline constexpr const char* kTipSizeMenu = "Select chunk size";
inline constexpr const char* kTrayTip = "Restore window";
inline constexpr const char* kNoTray = "There is no system tray on this desktop to move the window to.";
inline constexpr const char* kAboutCaption = "About Quarva.Split";
inline constexpr const char* kAboutVersion = "Quarva.Split Version 6.0";
inline constexpr const char* kHelpBook = "Quarva Split.htb";
inline constexpr const char* kHelpSplitting = "Splitting a file.htm";
inline constexpr const char* kHelpJoining = "Joining split files.htm";
inline constexpr const char* kHelpSettings = "Setting up options.htm";
inline constexpr const char* kHelpWindowTitle = "Quarva.Split Help: %s";
inline constexpr const char* kNoHelpBookPrefix = "The help book ";
inline constexpr const char* kNoHelpBookSuffix = " cannot be opened.\n Reinstall Quarva.Split to get it back.";

}  // namespace quarva::splitter::texts
