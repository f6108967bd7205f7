#include "session/RemoteTree.h"

#include "remote/RemotePath.h"

#include <algorithm>
#include <cstdint>

namespace
{

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool foldedLess(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(folded(x)) < static_cast<unsigned char>(folded(y));
    });
}

void sortLevel(ftpTreeViewObject& node)
{
    const auto byName = [](const auto& a, const auto& b) { return foldedLess(a->name, b->name); };
    // Servers list in order and most levels were sorted before: a look is
    // cheaper than a sort of thousands of subfolders after every listing.
    if (!std::is_sorted(node.children.begin(), node.children.end(), byName))
        std::stable_sort(node.children.begin(), node.children.end(), byName);
    for (auto& child : node.children)
        sortLevel(*child);
}

} // namespace

std::size_t foldedNameHash::operator()(std::string_view name) const
{
    // FNV-1a over the folded bytes: no folded copy to hash.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(folded(c));
        hash *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash);
}

bool foldedNameEqual::operator()(std::string_view a, std::string_view b) const
{
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return folded(x) == folded(y); });
}

void remoteTree::clear()
{
    root_.reset();
}

ftpTreeViewObject& remoteTree::ensureRoot(std::string_view address, std::string_view firstPath)
{
    if (root_)
        return *root_;
    root_ = std::make_unique<ftpTreeViewObject>();
    root_->name = address;
    const auto slash = firstPath.find('/');
    root_->path
        = slash == std::string_view::npos ? std::string() : std::string(firstPath.substr(0, slash + 1));
    if (observer_)
        observer_->treeNodeAdded(*root_);
    return *root_;
}

ftpTreeViewObject& remoteTree::nodeOf(std::string_view path)
{
    ftpTreeViewObject* node = root_.get();
    const auto slash = path.find('/');
    if (slash == std::string_view::npos)
        return *node;
    std::string_view rest = path.substr(slash);
    while (!rest.empty()) {
        const auto start = rest.find_first_not_of('/');
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const auto end = std::min(rest.find('/'), rest.size());
        node = &childNamed(*node, rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return *node;
}

ftpTreeViewObject& remoteTree::childNamed(ftpTreeViewObject& parent, std::string_view name)
{
    if (const auto found = parent.childByName.find(name); found != parent.childByName.end())
        return *found->second;
    auto child = std::make_unique<ftpTreeViewObject>();
    child->name = name;
    // A name holding no "/" joined to a plain path is a plain path.
    child->path = name.empty() ? parent.path : remotePath::join(parent.path, name);
    child->parent = &parent;
    ftpTreeViewObject& added = *child;
    parent.childByName.emplace(added.name, &added);
    parent.children.push_back(std::move(child));
    if (observer_)
        observer_->treeNodeAdded(added);
    return added;
}

void remoteTree::sort()
{
    if (root_)
        sortLevel(*root_);
}

void remoteTree::remove(std::span<const ftpTreeViewObject* const> nodes)
{
    // Each parent's children are filtered once: removing thousands of
    // siblings one by one would move the rest thousands of times.
    std::unordered_map<ftpTreeViewObject*, std::unordered_set<const ftpTreeViewObject*>> goingByParent;
    for (const ftpTreeViewObject* node : nodes) {
        if (!node->parent) {
            clear();
            return;
        }
        node->parent->childByName.erase(node->name);
        goingByParent[node->parent].insert(node);
    }
    // Clang 14 (the fuzzers' compiler) cannot capture a structured binding.
    for (auto& parentAndGoing : goingByParent) {
        const auto& going = parentAndGoing.second;
        std::erase_if(
            parentAndGoing.first->children, [&](const auto& child) { return going.contains(child.get()); });
    }
}

std::unordered_set<const ftpTreeViewObject*> remoteTree::nodes() const
{
    std::unordered_set<const ftpTreeViewObject*> all;
    std::vector<const ftpTreeViewObject*> waiting;
    if (root_)
        waiting.push_back(root_.get());
    while (!waiting.empty()) {
        const ftpTreeViewObject* node = waiting.back();
        waiting.pop_back();
        all.insert(node);
        for (const auto& child : node->children)
            waiting.push_back(child.get());
    }
    return all;
}
