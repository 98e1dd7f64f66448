#include "tasks/category_tree.h"

#include <filesystem>

#include "platform/message_service.h"
#include "tasks/av_task.h"
#include "tasks/persistent_manager.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw {

TCategoryTree::TCategoryTree(TTaskEnvironment& environment) : environment_(environment) {}

TCategoryTree::~TCategoryTree() {
    if (converting_ && environment_.Converting == converting_) {
        environment_.Converting = nullptr;
        environment_.Persistence->SetHeldTasks(nullptr);
    }
    // Children before parents, the last first, as the tree view frees its nodes.
    while (!roots_.empty()) {
        roots_.pop_back();
    }
}

void TCategoryTree::BuildTree(bool withConvertingNode) {
    if (FindCategory(1)) {
        return;
    }
    if (withConvertingNode && !converting_) {
        auto node = std::make_unique<TConvertingNode>(environment_);
        converting_ = node.get();
        roots_.insert(roots_.begin(), Entry{std::move(node), {}});
        if (!environment_.Converting) {
            environment_.Converting = converting_;
            environment_.Persistence->SetHeldTasks(this);
        }
    }
    LoadLevel(-1, roots_, nullptr);
    if (environment_.ExplorerTree) {
        environment_.ExplorerTree->NodesChanged();
    }
}

void TCategoryTree::LoadLevel(int parentId, std::vector<Entry>& into, TNodeObject* parent) {
    std::vector<std::unique_ptr<TConvertedNode>> level;
    environment_.Persistence->LoadCategories(parentId, environment_, &level);
    for (auto& node : level) {
        node->SetParentObject(parent);
        const int id = node->ID();
        TNodeObject* added = node.get();
        into.push_back(Entry{std::move(node), {}});
        // A damaged file could name a category its own ancestor; never follow such a loop.
        bool loops = false;
        for (TNodeObject* up = parent; up; up = up->ParentObject()) {
            loops = loops || static_cast<TConvertedNode*>(up)->ID() == id;
        }
        if (!loops) {
            LoadLevel(id, into.back().children, added);
        }
    }
}

std::vector<TNodeObject*> TCategoryTree::Roots() const {
    std::vector<TNodeObject*> nodes;
    for (const Entry& entry : roots_) {
        nodes.push_back(entry.node.get());
    }
    return nodes;
}

TCategoryTree::Entry* TCategoryTree::FindEntryIn(std::vector<Entry>& entries,
                                                 const TNodeObject& node) {
    for (Entry& entry : entries) {
        if (entry.node.get() == &node) {
            return &entry;
        }
        if (Entry* found = FindEntryIn(entry.children, node)) {
            return found;
        }
    }
    return nullptr;
}

TCategoryTree::Entry* TCategoryTree::FindEntry(const TNodeObject& node) {
    return FindEntryIn(roots_, node);
}

std::vector<TConvertedNode*> TCategoryTree::Children(const TNodeObject& node) const {
    std::vector<TConvertedNode*> nodes;
    if (Entry* entry = const_cast<TCategoryTree*>(this)->FindEntry(node)) {
        for (const Entry& child : entry->children) {
            nodes.push_back(static_cast<TConvertedNode*>(child.node.get()));
        }
    }
    return nodes;
}

void TCategoryTree::CollectCategories(const Entry& entry, std::vector<TConvertedNode*>& into) {
    if (auto* category = dynamic_cast<TConvertedNode*>(entry.node.get())) {
        into.push_back(category);
    }
    for (const Entry& child : entry.children) {
        CollectCategories(child, into);
    }
}

TConvertedNode* TCategoryTree::FindCategory(int id) const {
    std::vector<TConvertedNode*> all;
    for (const Entry& entry : roots_) {
        CollectCategories(entry, all);
    }
    for (TConvertedNode* category : all) {
        if (category->ID() == id) {
            return category;
        }
    }
    return nullptr;
}

TConvertedNode* TCategoryTree::FocusedCategory() const {
    if (!environment_.ExplorerTree) {
        return nullptr;
    }
    return dynamic_cast<TConvertedNode*>(environment_.ExplorerTree->FocusedNode());
}

TConvertedNode& TCategoryTree::NewCategory(TConvertedNode& parent, const std::string& name,
                                           const std::string& path) {
    Entry* parentEntry = FindEntry(parent);
    TW_ASSERT(parentEntry != nullptr);
    auto node = std::make_unique<TConvertedNode>(environment_, 0, name, path);
    node->SetParentObject(&parent);
    environment_.Persistence->InsertCategory(*node, parent.ID());
    TConvertedNode& added = *node;
    parentEntry->children.push_back(Entry{std::move(node), {}});
    if (environment_.ExplorerTree) {
        environment_.ExplorerTree->NodesChanged();
    }
    return added;
}

void TCategoryTree::SetCategoryProperties(TConvertedNode& node, const std::string& name,
                                          const std::string& path) {
    // The folder first: a category whose folder cannot be made keeps its old name and folder,
    // as the database does.
    if (!path.empty()) {
        std::error_code error;
        std::filesystem::create_directories(path, error);
        if (error) {
            throw EAVError(FormatPrintf("Unable to create directory \"%s\": %s", path.c_str(),
                                        error.message().c_str()));
        }
    }
    node.SetCategoryName(name);
    node.SetPath(path);
    environment_.Persistence->UpdateCategory(node);
    if (environment_.ExplorerTree) {
        environment_.ExplorerTree->NodesChanged();
    }
}

bool TCategoryTree::RemoveEntry(std::vector<Entry>& entries, const TNodeObject& node) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->node.get() == &node) {
            entries.erase(it);
            return true;
        }
        if (RemoveEntry(it->children, node)) {
            return true;
        }
    }
    return false;
}

bool TCategoryTree::DeleteCategory(TConvertedNode& node) {
    if (!node.CanDelete()) {
        return false;
    }
    Entry* entry = FindEntry(node);
    TW_ASSERT(entry != nullptr);
    std::vector<TConvertedNode*> doomed;
    CollectCategories(*entry, doomed);
    int filed = 0;
    for (TConvertedNode* category : doomed) {
        filed += environment_.Persistence->CountConverted(category->ID());
    }
    std::string question = "Do you want to delete the selected category?";
    if (doomed.size() == 2) {
        question += " Its sub-category goes with it.";
    } else if (doomed.size() > 2) {
        question +=
            FormatPrintf(" Its %d sub-categories go with it.", static_cast<int>(doomed.size() - 1));
    }
    const TConvertedNode* fallback = DefaultCategory();
    const std::string fallbackName = fallback ? fallback->CategoryName() : std::string("Default");
    if (filed == 0) {
        question += " No converted files are filed there.";
    } else {
        question += FormatPrintf(
            filed == 1 ? "\n\n%d converted file is filed there. It will be listed under \"%s\"; "
                         "the file stays on disk."
                       : "\n\n%d converted files are filed there. They will be listed under "
                         "\"%s\"; the files stay on disk.",
            filed, fallbackName.c_str());
    }
    if (!platform::Messages().AskQuestion(question)) {
        return false;
    }
    for (TConvertedNode* category : doomed) {
        environment_.Persistence->DeleteCategory(*category);
    }
    TNodeObject* parent = node.ParentObject();
    TW_ASSERT(parent != nullptr);
    if (environment_.ExplorerTree) {
        environment_.ExplorerTree->SelectNode(*parent);
    }
    RemoveEntry(roots_, node);
    if (environment_.ExplorerTree) {
        environment_.ExplorerTree->NodesChanged();
    }
    return true;
}

void TCategoryTree::MoveTask(TAVTask& task, TConvertedNode& category) {
    TW_ASSERT(FindEntry(category) != nullptr);
    task.MoveToCategory(category);
}

void TCategoryTree::CollectInOrder(const std::vector<Entry>& entries, int depth,
                                   std::vector<std::pair<TConvertedNode*, int>>& into) {
    for (const Entry& entry : entries) {
        auto* category = dynamic_cast<TConvertedNode*>(entry.node.get());
        if (category) {
            into.emplace_back(category, depth);
        }
        CollectInOrder(entry.children, category ? depth + 1 : depth, into);
    }
}

std::vector<std::pair<TConvertedNode*, int>> TCategoryTree::CategoriesInOrder() const {
    std::vector<std::pair<TConvertedNode*, int>> all;
    CollectInOrder(roots_, 0, all);
    return all;
}

void TCategoryTree::WriteEntries(const std::vector<Entry>& entries, int parentId,
                                 TPersistentManager& into) {
    for (const Entry& entry : entries) {
        int below = parentId;
        if (auto* category = dynamic_cast<TConvertedNode*>(entry.node.get())) {
            into.RestoreCategory(*category, parentId);
            below = category->ID();
        }
        for (const auto& task : entry.node->Tasks()) {
            into.RestoreTask(*task);
        }
        WriteEntries(entry.children, below, into);
    }
}

void TCategoryTree::WriteHeld(TPersistentManager& into) {
    WriteEntries(roots_, -1, into);
}

}  // namespace tw
