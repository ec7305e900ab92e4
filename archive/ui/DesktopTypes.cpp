#include "archive/ui/DesktopTypes.h"

#include <gio/gio.h>

#include <memory>
#include <vector>

#include <wx/artprov.h>

namespace quarva::archive::ui {

namespace {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeDeleter>;

// The content type GIO guesses from a file name with this extension.
GString_ guessType(const std::string& extension) {
    std::string name = "file." + extension;
    gboolean uncertain = FALSE;
    GString_ type(g_content_type_guess(name.c_str(), nullptr, 0, &uncertain));
    if (!type || g_content_type_is_unknown(type.get())) return nullptr;
    return type;
}

// The icon names GIO offers for the type, most specific first.
std::vector<std::string> iconNames(const std::string& extension) {
    std::vector<std::string> names;
    GString_ type = guessType(extension);
    if (!type) return names;
    GIcon* icon = g_content_type_get_icon(type.get());
    if (icon && G_IS_THEMED_ICON(icon)) {
        const gchar* const* list = g_themed_icon_get_names(G_THEMED_ICON(icon));
        for (; list && *list; ++list) names.emplace_back(*list);
    }
    if (icon) g_object_unref(icon);
    return names;
}

}  // namespace

std::string desktopTypeName(const std::string& extension) {
    if (extension.empty()) return {};
    GString_ type = guessType(extension);
    if (!type) return {};
    GString_ description(g_content_type_get_description(type.get()));
    return description ? std::string(description.get()) : std::string();
}

wxBitmap themeBitmap(const std::string& iconName, int size, const char* fallbackArtId) {
    wxBitmap bitmap = wxArtProvider::GetBitmap(wxString::FromUTF8(iconName.c_str()), wxART_OTHER, wxSize(size, size));
    if (!bitmap.IsOk() && fallbackArtId)
        bitmap = wxArtProvider::GetBitmap(fallbackArtId, wxART_OTHER, wxSize(size, size));
    if (bitmap.IsOk() && (bitmap.GetWidth() != size || bitmap.GetHeight() != size)) {
        wxImage image = bitmap.ConvertToImage();
        bitmap = wxBitmap(image.Rescale(size, size, wxIMAGE_QUALITY_HIGH));
    }
    return bitmap;
}

CFileIcons::CFileIcons() : small_(16, 16, true, 64), large_(32, 32, true, 64) {
    folder_ = add("folder", wxART_FOLDER);
    openFolder_ = add("folder-open", wxART_FOLDER_OPEN);
    archive_ = add("package-x-generic", wxART_FOLDER);
    if (openFolder_ < 0) openFolder_ = folder_;
    if (archive_ < 0) archive_ = folder_;
    generic_ = add("text-x-generic", wxART_NORMAL_FILE);
}

int CFileIcons::add(const std::string& iconName, const char* fallbackArtId) {
    wxBitmap s = themeBitmap(iconName, 16, fallbackArtId);
    wxBitmap l = themeBitmap(iconName, 32, fallbackArtId);
    if (!s.IsOk() || !l.IsOk()) return -1;
    large_.Add(l);
    return small_.Add(s);
}

int CFileIcons::imageFor(const std::string& extension) {
    if (extension.empty() || extension == "ico" || extension == "ani" || extension == "lnk") return generic_;
    auto it = cache_.find(extension);
    if (it != cache_.end()) return it->second;
    int image = generic_;
    for (const std::string& name : iconNames(extension)) {
        int added = add(name, nullptr);
        if (added >= 0) {
            image = added;
            break;
        }
    }
    cache_.emplace(extension, image);
    return image;
}

}  // namespace quarva::archive::ui
