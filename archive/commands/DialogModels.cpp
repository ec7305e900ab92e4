#include "archive/commands/DialogModels.h"

#include <array>
#include <filesystem>

#include "archive/commands/DialogTexts.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string withValue(const char* pattern, const std::string& value) {
    std::string out = pattern;
    auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

// The folder part of a path, ending with "/".
std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::int16_t compressionLevel(int position) {
    static constexpr std::array<std::int16_t, 5> kLevels = {0, 1, 4, 6, 9};
    if (position < 0 || position >= static_cast<int>(kLevels.size())) return 6;
    return kLevels[static_cast<std::size_t>(position)];
}

SpanningList spanningList(bool removable, int diskCount, bool fileDialogForm) {
    SpanningList list;
    if (removable && diskCount == 0) {
        list.entries.assign(std::begin(dlgtext::kSpanningChoices), std::end(dlgtext::kSpanningChoices));
        list.selected = 2;
        list.enabled = true;
    } else if (fileDialogForm) {
        list.entries = {dlgtext::kRemovableOnly};
    } else {
        list.entries.assign(std::begin(dlgtext::kSpanningChoices), std::end(dlgtext::kSpanningChoices));
    }
    return list;
}

SpanningFlags spanningFlags(bool removable, int position) {
    if (!removable) return {};
    return {position == 0 || position == 1, position == 1};
}

std::optional<std::string> wildcardProblem(const std::string& text, bool formatLibraryArchive) {
    if (text.find("*.") != std::string::npos) return std::nullopt;
    return formatLibraryArchive ? dlgtext::kWildcardHintLibrary : dlgtext::kWildcardHintZip;
}

std::string wildcardMask(const std::string& text, bool formatLibraryArchive) {
    if (formatLibraryArchive) return text.empty() ? "*" : replaceAll(text, " ", "\r\n");
    std::string mask = text;
    if (!mask.empty() && mask[0] == '*') mask = "*\r\n>" + mask;
    return replaceAll(mask, " ", "\r\n>");
}

std::string compactPath(const std::string& path, std::size_t limit) {
    if (path.size() <= limit) return path;
    // Keep the last component whole and as much of the front as fits before "...".
    auto slash = path.rfind('/');
    std::string tail = slash == std::string::npos ? path : path.substr(slash);
    if (tail.size() + 3 >= limit) return "..." + tail.substr(tail.size() - (limit - 3));
    return path.substr(0, limit - 3 - tail.size()) + "..." + tail;
}

AddListsDescription describeAddLists(const std::vector<std::string>& folders, const std::vector<std::string>& files) {
    auto folderSource = [](const std::string& folder) { return folder.ends_with('/') ? folder : folder + "/"; };
    AddListsDescription out;
    std::vector<std::string> items = files;
    items.insert(items.end(), folders.begin(), folders.end());
    if (items.size() == 1) {
        const std::string& item = items.front();
        std::error_code ec;
        if (fs::is_directory(item, ec)) {
            bool root = item.ends_with('/');
            out.description = withValue(root ? dlgtext::kCopiedFolderRoot : dlgtext::kCopiedFolder, compactPath(item));
            out.sourceFolder = folderSource(item);
        } else {
            out.description = withValue(dlgtext::kCopiedFile, compactPath(item));
            out.sourceFolder = folderOf(item);
        }
        return out;
    }
    out.description = replaceAll(dlgtext::kCopiedMany, "%d", std::to_string(items.size()));
    if (!files.empty()) out.sourceFolder = folderOf(files.front());
    else if (!folders.empty()) out.sourceFolder = folderSource(folders.front());
    return out;
}

std::optional<std::string> archiveNameProblem(const std::string& name) {
    if (name.empty() || name.ends_with('/')) return dlgtext::kArchiveNameEmpty;
    return std::nullopt;
}

std::optional<std::string> passwordProblem(bool confirmRequired, const std::string& password,
                                           const std::string& reentered) {
    if (confirmRequired && !password.empty() && password != reentered) return dlgtext::kPasswordMismatch;
    return std::nullopt;
}

std::optional<std::string> chosenFolder(const std::string& typed) {
    if (typed.empty()) return std::nullopt;
    // A doubled separator is refused unless it ends the text ("//server/share" too).
    if (typed.substr(0, typed.size() - 1).find("//") != std::string::npos) return std::nullopt;
    std::string folder = typed;
    while (folder.ends_with('/')) folder.pop_back();
    return folder + "/";
}

ExtractLists extractListsFor(const ExtractDialogOptions& options, const ExtractLists& selection) {
    if (options.filesChoice == 1) return {{"*"}, {}};
    if (options.filesChoice == 2) return {{options.pattern, "*\\" + options.pattern}, {}};
    return selection;
}

std::optional<std::string> deleteProblem(const DeleteDialogOptions& options) {
    if (options.choice == 2 && options.filter.empty()) return dlgtext::kEnterValidFilter;
    return std::nullopt;
}

std::string deleteFilterNames(const std::string& filter) { return filter + "\r\n*\\" + filter; }

std::string renameTitle(const std::string& oldName) { return withValue(dlgtext::kRenameTitle, oldName); }

std::optional<std::string> renameProblem(const std::string& oldName, const std::string& newName) {
    if (newName == oldName) return dlgtext::kCannotRename;
    return std::nullopt;
}

std::string renamedFileName(const std::string& oldName, const std::string& newName) {
    auto dot = newName.rfind('.');
    if (dot != std::string::npos && dot + 1 < newName.size()) return newName;
    auto oldDot = oldName.rfind('.');
    std::string extension = oldDot == std::string::npos ? std::string() : oldName.substr(oldDot + 1);
    std::string base = dot == std::string::npos ? newName : newName.substr(0, dot);
    return extension.empty() ? newName : base + "." + extension;
}

const std::vector<SaveAsType>& saveAsTypes() {
    static const std::vector<SaveAsType> kTypes = {
        {"Blak Hole File (bh)", "bh", 0}, {"Cab File (cab)", "cab", 1}, {"LHA File (lzh)", "lzh", 2},
        {"Zip File (zip)", "zip", 3},     {"TAR File (tar)", "tar", 4}, {"GZip Tar File (gz)", "gz", 5},
        {"Jar File (jar)", "jar", 6},     {"LHA File (lha)", "lha", 2},
    };
    return kTypes;
}

std::string replaceFromLastDot(const std::string& path, const std::string& dottedExtension) {
    auto dot = path.rfind('.');
    if (dot == std::string::npos) return path;
    return path.substr(0, dot) + dottedExtension;
}

std::string replaceAfterLastDot(const std::string& path, const std::string& extension) {
    return replaceFromLastDot(path, "." + extension);
}

std::optional<std::string> targetProblem(const std::string& target) {
    if (target.empty()) return dlgtext::kTargetEmpty;
    return std::nullopt;
}

std::string overwriteQuestion(const std::string& target) { return "File " + target + " already exists\nOverwrite?"; }

std::string convertedText(const std::string& source, const std::string& target) {
    return "Successfully converted " + source + " to " + target;
}

std::string encodeTarget(const std::string& source, const std::string& dialogTarget, int method) {
    return method == 1 ? replaceFromLastDot(source, ".xxe") : dialogTarget;
}

std::string backupName(const std::string& archivePath) { return archivePath + dlgtext::kBackupSuffix; }

TextWindowLabels textWindowLabels(bool commentMode) {
    return commentMode ? TextWindowLabels{"&Save", "&Clear"} : TextWindowLabels{"OK", "&Copy"};
}

std::string commentToSave(const std::string& text) { return text.empty() ? " " : text; }

PropertiesView propertiesView(const std::vector<const CZipFileInfo*>& files,
                              const std::vector<SelectedFolder>& folders) {
    PropertiesView view;
    if (files.size() == 1 && folders.empty()) view.icon = PropertiesView::Icon::FileType;
    else if (files.empty() && folders.size() == 1) view.icon = PropertiesView::Icon::Folder;

    std::uint64_t folderPacked = 0, folderSize = 0;
    int folderFiles = 0, foldersFound = 0;
    for (const auto& folder : folders) {
        for (const CZipFileInfo* file : folder.files) {
            ++folderFiles;
            folderPacked += file->packedSize;
            folderSize += file->size;
        }
        foldersFound += folder.subfolders;
    }

    std::uint64_t filePacked = 0, fileSize = 0;
    bool typeSet = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CZipFileInfo& file = *files[i];
        auto dot = file.name.rfind('.');
        std::string extension = dot == std::string::npos ? std::string() : file.name.substr(dot + 1);
        if (i == 0) {
            view.type = extension;
            typeSet = true;
            view.iconExtension = extension;
            view.location = file.folder;
            view.name = file.name;
            view.ratio = std::to_string(file.ratio) + "%";
            view.date = file.modified;
            view.readOnly = file.attributes & 0x01;
            view.hidden = file.attributes & 0x02;
            view.system = file.attributes & 0x04;
            view.archive = file.attributes & 0x20;
            view.compressed = file.ratio > 0;
        } else if (typeSet && (extension.empty() || extension != view.type)) {
            view.type = dlgtext::kMultipleTypes;
        }
        filePacked += file.packedSize;
        fileSize += file.size;
    }

    if (folders.empty()) {
        view.packedSize = std::to_string(filePacked);
        view.size = std::to_string(fileSize);
        if (files.size() == 1) {
            view.type += " File";
        } else {
            view.name = std::to_string(files.size()) + " Files";
            view.type += " Files";
            view.ratio = dlgtext::kDifferentRatios;
            view.date.clear();
        }
    } else {
        view.name = std::to_string(folderFiles + static_cast<int>(files.size())) + " Files, " +
                    std::to_string(foldersFound) + " Folders";
        view.type = dlgtext::kMultipleTypes;
        view.packedSize = std::to_string(folderPacked + filePacked);
        view.size = std::to_string(folderSize + fileSize);
        view.ratio = dlgtext::kDifferentRatios;
        view.date.clear();
    }
    return view;
}

}  // namespace quarva::archive
