#pragma once
// One folder of the open archive: its child folders (owned) and its files (owned
// by the document's entry map).

#include <memory>
#include <string>
#include <vector>

#include "archive/core/ZipFileInfo.h"

namespace quarva::archive {

class CZorvTreeNode {
public:
    explicit CZorvTreeNode(std::string nodeName = {}) : name(std::move(nodeName)) {}
    // Children are released without recursion, so a hostile archive with a very
    // deep folder chain cannot exhaust the stack.
    ~CZorvTreeNode();
    CZorvTreeNode(const CZorvTreeNode&) = delete;
    CZorvTreeNode& operator=(const CZorvTreeNode&) = delete;

    // The child with exactly this name (letter case counts), or null.
    CZorvTreeNode* child(const std::string& childName) const;
    // Appends a new child after its siblings.
    CZorvTreeNode* addChild(std::string childName);

    std::string name;
    int index = 0;  // the node's number in the tree view
    CZorvTreeNode* parent = nullptr;
    std::vector<std::unique_ptr<CZorvTreeNode>> children;
    std::vector<CZipFileInfo*> files;
};

}  // namespace quarva::archive
