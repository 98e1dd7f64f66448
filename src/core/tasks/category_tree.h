#pragma once

// The model behind the category tree: the Converting node first, then the categories of
// converted files as stored, each with its sub-categories. It owns every node; the front end's
// tree view shows it and reports the displayed and focused node through CategoryTreeView.
// The category commands (new, properties, delete) act here and on the database. UI thread only.

#include <memory>
#include <string>
#include <vector>

#include "tasks/node_object.h"
#include "tasks/persistent_manager.h"

namespace tw {

class TCategoryTree : public HeldTasks {
public:
    explicit TCategoryTree(TTaskEnvironment& environment);
    ~TCategoryTree() override;
    TCategoryTree(const TCategoryTree&) = delete;
    TCategoryTree& operator=(const TCategoryTree&) = delete;

    // Loads the categories, level by level from the top. Does nothing once the default category
    // is there. withConvertingNode false leaves the Converting node out (a category picker).
    // The tree with the Converting node is the program's: it becomes the environment's
    // Converting node and what the database writes back after damage, for as long as it lives.
    void BuildTree(bool withConvertingNode = true);

    // None when the tree was built without it.
    TConvertingNode* ConvertingNode() const { return converting_; }
    std::vector<TNodeObject*> Roots() const;
    std::vector<TConvertedNode*> Children(const TNodeObject& node) const;
    TConvertedNode* FindCategory(int id) const;
    TConvertedNode* DefaultCategory() const { return FindCategory(1); }
    // Every category, each before its sub-categories, with its depth (0 at the top).
    std::vector<std::pair<TConvertedNode*, int>> CategoriesInOrder() const;

    // The focused node if it is a category.
    TConvertedNode* FocusedCategory() const;

    // "New Category": a child of parent, stored at once. The folder is not created.
    TConvertedNode& NewCategory(TConvertedNode& parent, const std::string& name,
                                const std::string& path);
    // "Properties": new name and folder; the folder is created with missing parents. Throws
    // EAVError when it cannot be, leaving the category as it was.
    void SetCategoryProperties(TConvertedNode& node, const std::string& name,
                               const std::string& path);
    // "Delete": asks "Do you want to delete the selected category?", saying how many converted
    // files are filed there and that they move to the default category; on Yes deletes the
    // category and everything below it, files their converted records under the default
    // category (the files stay on disk) and selects the parent. Returns whether it deleted.
    // The default category is never deleted.
    bool DeleteCategory(TConvertedNode& node);

    // "Move to Category": files the converted task under category.
    void MoveTask(TAVTask& task, TConvertedNode& category);

    // HeldTasks: the categories and every task the nodes hold.
    void WriteHeld(TPersistentManager& into) override;

private:
    struct Entry {
        std::unique_ptr<TNodeObject> node;
        std::vector<Entry> children;
    };

    void LoadLevel(int parentId, std::vector<Entry>& into, TNodeObject* parent);
    Entry* FindEntry(const TNodeObject& node);
    static Entry* FindEntryIn(std::vector<Entry>& entries, const TNodeObject& node);
    static void CollectCategories(const Entry& entry, std::vector<TConvertedNode*>& into);
    bool RemoveEntry(std::vector<Entry>& entries, const TNodeObject& node);
    static void CollectInOrder(const std::vector<Entry>& entries, int depth,
                               std::vector<std::pair<TConvertedNode*, int>>& into);
    static void WriteEntries(const std::vector<Entry>& entries, int parentId,
                             TPersistentManager& into);

    TTaskEnvironment& environment_;
    std::vector<Entry> roots_;
    TConvertingNode* converting_ = nullptr;
};

}  // namespace tw
