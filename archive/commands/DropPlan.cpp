#include "archive/commands/DropPlan.h"

#include <array>
#include <string_view>

#include "archive/core/PathText.h"

namespace quarva::archive {

bool isArchiveExtension(const std::string& extension) {
    static constexpr std::array<std::string_view, 18> kExtensions = {"zip", "xxe", "bh",  "lha", "lzh", "gz",
                                                                     "rar", "jar", "tar", "uue", "zoo", "arj",
                                                                     "arc", "ace", "cab", "ha",  "pak", "enc"};
    for (auto e : kExtensions)
        if (e == extension) return true;
    return false;
}

DropPlan planDrop(const std::vector<std::string>& paths, ArchiveKind kind,
                  const std::function<bool(const std::string&)>& isFolder) {
    DropPlan plan;
    bool archiveSeen = false;
    for (const auto& path : paths) {
        if (isArchiveExtension(extensionOf(path))) archiveSeen = true;
        if (!archiveSeen && kind != ArchiveKind::Zip && kind != ArchiveKind::NewLibrary) {
            plan.action = DropPlan::Action::Refuse;
            plan.files.clear();
            plan.folders.clear();
            return plan;
        }
        (isFolder(path) ? plan.folders : plan.files).push_back(path);
    }
    if (archiveSeen && plan.files.size() == 1 && plan.folders.empty()) {
        plan.action = DropPlan::Action::OpenArchive;
        plan.archive = plan.files.front();
    }
    return plan;
}

}  // namespace quarva::archive
