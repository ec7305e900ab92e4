#pragma once
// The user-visible texts of Find Files in Zip.

namespace quarva::archive::findtext {

inline constexpr char kTitle[] = "Quarva.Zip Suite: Find Files in Zip ";  // the trailing blank belongs to it
inline constexpr char kNamed[] = "&Named";
inline constexpr char kLookIn[] = "&Look in";
inline constexpr char kFilesOfType[] = "In &files of type";
inline constexpr char kIncludeSubfolders[] = "&Include subfolders";
inline constexpr char kBrowse[] = "&Browse...";
inline constexpr char kFindNow[] = "&Find Now";
inline constexpr char kStop[] = "&Stop";
inline constexpr char kSelectFolder[] = "Select Folder";
// The look-in folder when the dialog opens, and where "&Browse..." starts: the
// root of the system's disk.
inline constexpr char kStartFolder[] = "/";

inline constexpr char kColumnName[] = "File Name";
inline constexpr char kColumnArchive[] = "Zip File Path";
inline constexpr char kColumnFolder[] = "Path Inside Zip";
inline constexpr char kColumnSize[] = "UC Size";
inline constexpr char kColumnCreated[] = "Created";

inline constexpr char kSearching[] = "Searching ";
inline constexpr char kSearchingEnd[] = "/...";
inline constexpr char kFound[] = " file(s) found";  // after the number of rows

}  // namespace quarva::archive::findtext
