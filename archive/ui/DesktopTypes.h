#pragma once
// The desktop's name and icon for a file type, asked through GIO's content types
// by extension alone (no file is touched) and drawn from the icon theme.

#include <map>
#include <string>

#include <wx/bitmap.h>
#include <wx/imaglist.h>

namespace quarva::archive::ui {

// The desktop's description of files with this extension ("" when it knows none).
std::string desktopTypeName(const std::string& extension);

// The list's image lists (small 16 and large 32 pixels) with the icon cache: one
// image per extension, the generic file image for names without a known icon, and
// the folder image.
class CFileIcons {
public:
    CFileIcons();
    wxImageList* small() { return &small_; }
    wxImageList* large() { return &large_; }
    int folderImage() const { return folder_; }
    // The folder tree's images: an open folder for the selected node, the archive for
    // the root.
    int openFolderImage() const { return openFolder_; }
    int archiveImage() const { return archive_; }
    int genericImage() const { return generic_; }
    // The image of a lower-cased extension; "ico", "ani" and "lnk" (and no
    // extension at all) show the generic image.
    int imageFor(const std::string& extension);

private:
    int add(const std::string& iconName, const char* fallbackArtId);

    wxImageList small_;
    wxImageList large_;
    int folder_ = -1;
    int openFolder_ = -1;
    int archive_ = -1;
    int generic_ = -1;
    std::map<std::string, int> cache_;
};

// An image from the desktop's icon theme by name, at the given size, with a
// wxArtProvider id as fallback.
wxBitmap themeBitmap(const std::string& iconName, int size, const char* fallbackArtId = nullptr);

}  // namespace quarva::archive::ui
