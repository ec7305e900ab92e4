#include "archive/core/ZorvTreeNode.h"

namespace quarva::archive {

CZorvTreeNode::~CZorvTreeNode() {
    // Move every descendant into one flat list, then let the list go: each node is
    // destroyed with no children left, so no destructor recurses.
    std::vector<std::unique_ptr<CZorvTreeNode>> pending;
    for (auto& c : children) pending.push_back(std::move(c));
    children.clear();
    for (std::size_t i = 0; i < pending.size(); ++i) {
        for (auto& c : pending[i]->children) pending.push_back(std::move(c));
        pending[i]->children.clear();
    }
}

CZorvTreeNode* CZorvTreeNode::child(const std::string& childName) const {
    for (const auto& c : children)
        if (c->name == childName) return c.get();
    return nullptr;
}

CZorvTreeNode* CZorvTreeNode::addChild(std::string childName) {
    children.push_back(std::make_unique<CZorvTreeNode>(std::move(childName)));
    children.back()->parent = this;
    return children.back().get();
}

}  // namespace quarva::archive
