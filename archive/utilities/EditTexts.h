#pragma once
// The texts of editing an archive's file in place: the re-add prompt, the failures
// of starting a program, and the chooser of "Op&en With...".

#include <string>

namespace quarva::archive::edittext {

// The re-add prompt for a saved copy (question icon, Yes and No).
inline std::string modifiedPrompt(const std::string& path) {
    return "File " + path + " has been modified\nDo you want to add the latest file to archive ?";
}
// A copy opened where its saves cannot be noticed.
inline std::string notWatchedWarning(const std::string& path) {
    return "Changes to " + path +
           " cannot be watched (the system's limit of watched folders may be reached):\nsaving it will not "
           "offer to add it to the archive.";
}
inline constexpr char kErrorInExecutable[] = "Error in Executable file";
inline constexpr char kErrorInOpenWith[] = "Error in rundll32.exe";
inline constexpr char kNoOpenWith[] = "No default Association for Open With in Registry";

inline constexpr char kOpenWithTitle[] = "Open With";
inline constexpr char kOpenWithLabel[] = "Choose the program to open \"%s\" with:";
inline constexpr char kShowAll[] = "Show &all programs";
inline constexpr char kOpen[] = "&Open";

}  // namespace quarva::archive::edittext
