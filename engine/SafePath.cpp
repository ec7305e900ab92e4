#include "engine/SafePath.h"

#include <sys/stat.h>

#include <cerrno>
#include <cctype>

#include "platform/SafePath.h"

namespace quarva::engine {

bool safeComponents(const std::string& name, bool usePaths, std::vector<std::string>& out) {
    auto parts = platform::safePathComponents(name);
    out = parts ? std::move(*parts) : std::vector<std::string>{};
    if (!parts) return false;
    if (!usePaths) {
        std::string last = out.back();
        out.assign(1, last);
    }
    return true;
}

PlaceResult preparePlace(const std::filesystem::path& root, const std::vector<std::string>& components,
                         std::filesystem::path& out) {
    if (components.empty()) return PlaceResult::Unsafe;
    std::filesystem::path cur = root;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        cur /= components[i];
        struct stat st {};
        if (::lstat(cur.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) return PlaceResult::ThroughLink;
            if (!S_ISDIR(st.st_mode)) return PlaceResult::CannotCreate;
        } else {
            if (::mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return PlaceResult::CannotCreate;
            if (::lstat(cur.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return PlaceResult::ThroughLink;
        }
    }
    out = cur / components.back();
    return PlaceResult::Ok;
}

}  // namespace quarva::engine
