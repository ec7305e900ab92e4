#include "archive/core/ArchiveEntries.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace quarva::archive {

namespace {

std::vector<std::string> splitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto sep = path.find('\\', start);
        if (sep == std::string::npos) sep = path.size();
        if (sep > start) parts.push_back(path.substr(start, sep - start));
        start = sep + 1;
    }
    return parts;
}

}  // namespace

CArchiveEntries::AddResult CArchiveEntries::addEntry(const EntryValues& values) {
    if (!values.name.empty() && values.name.back() == '\\') return AddResult::Skipped;
    std::string key = entryKey(values.name);
    CZipFileInfo info = CZipFileInfo::fromValues(values);
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        // The later report wins; keep the object so the tree's pointers stay valid.
        std::string typeText = std::move(it->second->typeText);
        *it->second = std::move(info);
        it->second->typeText = std::move(typeText);
        return AddResult::Replaced;
    }
    entries_.emplace(std::move(key), std::make_unique<CZipFileInfo>(std::move(info)));
    return AddResult::Added;
}

namespace {

// A folder's child by name, for building the tree without searching long sibling
// lists again and again.
struct ChildKey {
    const CZorvTreeNode* parent;
    std::string_view name;
    bool operator==(const ChildKey&) const = default;
};
struct ChildKeyHash {
    std::size_t operator()(const ChildKey& k) const {
        return std::hash<std::string_view>()(k.name) ^ (std::hash<const void*>()(k.parent) * 31);
    }
};

}  // namespace

void CArchiveEntries::buildTree() {
    root_ = std::make_unique<CZorvTreeNode>(kRootName);
    clearIndexMaps();
    std::unordered_map<ChildKey, CZorvTreeNode*, ChildKeyHash> children;
    // Entries come sorted by path: most share the folder of the one before.
    const std::string* lastFolder = nullptr;
    CZorvTreeNode* node = root_.get();
    for (const auto& [key, info] : entries_) {
        if (!lastFolder || info->folder != *lastFolder) {
            lastFolder = &info->folder;
            node = root_.get();
            std::string_view rest = info->folder;
            while (!rest.empty()) {
                auto sep = rest.find('\\');
                std::string_view name = rest.substr(0, sep);
                rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
                if (name.empty()) continue;  // as in "a\\b"
                auto [it, made] = children.try_emplace(ChildKey{node, name}, nullptr);
                if (made) it->second = node->addChild(std::string(name));
                node = it->second;
            }
        }
        node->files.push_back(info.get());
    }
}

void CArchiveEntries::addPath(const std::string& rootedPath) {
    if (!root_) root_ = std::make_unique<CZorvTreeNode>(kRootName);
    auto sep = rootedPath.rfind('\\');
    std::string folderPath = sep == std::string::npos ? rootedPath : rootedPath.substr(0, sep);
    std::string fileName = sep == std::string::npos ? std::string() : rootedPath.substr(sep + 1);

    CZorvTreeNode* node = root_.get();
    auto parts = splitComponents(folderPath);
    for (std::size_t i = 1; i < parts.size(); ++i) {  // the first component is "Root"
        CZorvTreeNode* next = node->child(parts[i]);
        node = next ? next : node->addChild(parts[i]);
    }

    std::string key;
    if (node == root_.get()) {
        key = fileName;
    } else {
        std::string prefix = std::string(kRootName) + "\\";
        key = rootedPath.compare(0, prefix.size(), prefix) == 0 ? rootedPath.substr(prefix.size()) : rootedPath;
    }
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    CZipFileInfo* info = it->second.get();
    if (std::find(node->files.begin(), node->files.end(), info) == node->files.end()) node->files.push_back(info);
}

CZorvTreeNode* CArchiveEntries::findFolder(const std::string& path) const {
    CZorvTreeNode* node = root_.get();
    for (const auto& part : splitComponents(path)) {
        if (!node) return nullptr;
        node = node->child(part);
    }
    return node;
}

CArchiveEntries::Removed CArchiveEntries::removePath(const std::string& path) {
    std::string key = entryKey(path);
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        CZipFileInfo* info = it->second.get();
        if (CZorvTreeNode* node = findFolder(info->folder)) std::erase(node->files, info);
        entries_.erase(it);
        return Removed::File;
    }

    std::string folder = key;
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.empty()) return Removed::Nothing;
    CZorvTreeNode* node = findFolder(folder);
    if (!node || !node->parent) return Removed::Nothing;
    // The files beneath go with the folder, so the entries never outlive their tree.
    std::string prefix = folder + "\\";
    for (auto e = entries_.lower_bound(prefix); e != entries_.end() && e->first.compare(0, prefix.size(), prefix) == 0;)
        e = entries_.erase(e);
    auto& siblings = node->parent->children;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [&](const auto& c) { return c.get() == node; }),
                   siblings.end());
    clearIndexMaps();
    return Removed::Folder;
}

void CArchiveEntries::deleteAll() {
    root_.reset();
    clearIndexMaps();
    entries_.clear();
}

const CZipFileInfo* CArchiveEntries::find(const std::string& path) const {
    auto it = entries_.find(entryKey(path));
    return it == entries_.end() ? nullptr : it->second.get();
}

std::vector<const CZipFileInfo*> CArchiveEntries::allEntries() const {
    std::vector<const CZipFileInfo*> all;
    all.reserve(entries_.size());
    for (const auto& [key, info] : entries_) all.push_back(info.get());
    return all;
}

std::vector<CZorvTreeNode*> CArchiveEntries::numberNodes() {
    clearIndexMaps();
    std::vector<CZorvTreeNode*> order;
    if (!root_) return order;
    std::vector<CZorvTreeNode*> stack{root_.get()};
    while (!stack.empty()) {
        CZorvTreeNode* node = stack.back();
        stack.pop_back();
        node->index = static_cast<int>(order.size());
        nodesByIndex_[static_cast<std::uint32_t>(node->index)] = node;
        order.push_back(node);
        for (auto c = node->children.rbegin(); c != node->children.rend(); ++c) stack.push_back(c->get());
    }
    return order;
}

CZorvTreeNode* CArchiveEntries::nodeByIndex(std::uint32_t index) const {
    auto it = nodesByIndex_.find(index);
    return it == nodesByIndex_.end() ? nullptr : it->second;
}

std::string CArchiveEntries::folderPathOf(const CZorvTreeNode* node) {
    std::vector<const CZorvTreeNode*> chain;
    for (; node && node->parent; node = node->parent) chain.push_back(node);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) path += (*it)->name + "\\";
    return path;
}

void CArchiveEntries::clearIndexMaps() {
    nodesByIndex_.clear();
    itemsByIndex_.clear();
    thirdMap_.clear();
}

}  // namespace quarva::archive
