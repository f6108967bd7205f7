#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Names compared with ASCII letters in either case alike.
struct foldedNameHash {
    std::size_t operator()(std::string_view name) const;
};
struct foldedNameEqual {
    bool operator()(std::string_view a, std::string_view b) const;
};

// One node of a session's remote folder tree.
struct ftpTreeViewObject {
    std::string name;
    std::string path; // plain form
    ftpTreeViewObject* parent = nullptr;
    std::vector<std::unique_ptr<ftpTreeViewObject>> children;
    // Children by their name in either case, so that a folder with many
    // subfolders is filled in linear time. A key is the child's own name.
    std::unordered_map<std::string_view, ftpTreeViewObject*, foldedNameHash, foldedNameEqual> childByName;

    bool isRoot() const { return parent == nullptr; }
};

// The remote folder tree of a session: one root node, named after the
// site's address, with a node per folder below it, created on demand and
// found case-insensitively. Main thread only.
class remoteTree
{
public:
    // Told of every node added, so that a view can mirror the tree.
    class observer
    {
    public:
        virtual ~observer() = default;
        virtual void treeNodeAdded(const ftpTreeViewObject& node) = 0;
    };

    explicit remoteTree(observer* observer = nullptr)
        : observer_(observer)
    {
    }

    bool empty() const { return !root_; }
    const ftpTreeViewObject* root() const { return root_.get(); }
    void clear();

    // The root node, created for the first path shown: its text is the
    // address, its path the part of `firstPath` up to and including its
    // first "/" (empty when there is none).
    ftpTreeViewObject& ensureRoot(std::string_view address, std::string_view firstPath);

    // The node of `path` (any form), walking from the root from the path's
    // first "/" and adding what is missing. The root must exist.
    ftpTreeViewObject& nodeOf(std::string_view path);

    // The child of `parent` named `name` (which holds no "/"), added when
    // missing: the node of the path `name` joined to the parent's.
    ftpTreeViewObject& childOf(ftpTreeViewObject& parent, std::string_view name)
    {
        return childNamed(parent, name);
    }

    // Destroys the nodes with their subtrees (the root: the whole tree). No
    // node may lie inside another.
    void remove(std::span<const ftpTreeViewObject* const> nodes);

    // Every node, the root included; empty without a root.
    std::unordered_set<const ftpTreeViewObject*> nodes() const;

    // Every level in alphabetical order (case-insensitive).
    void sort();

private:
    ftpTreeViewObject& childNamed(ftpTreeViewObject& parent, std::string_view name);

    observer* observer_;
    std::unique_ptr<ftpTreeViewObject> root_;
};
