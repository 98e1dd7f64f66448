#include "shell/category_tree_model.h"

#include <algorithm>

#include "shell/status_icons.h"
#include "tasks/category_tree.h"

namespace tw::ui {

CategoryTreeModel::CategoryTreeModel(QObject* parent)
    : QAbstractItemModel(parent), nodeIcons_(NodeIcons()) {}

void CategoryTreeModel::SetTree(TCategoryTree* tree) {
    beginResetModel();
    tree_ = tree;
    endResetModel();
}

void CategoryTreeModel::Reload() {
    beginResetModel();
    endResetModel();
}

std::vector<TNodeObject*> CategoryTreeModel::ChildrenOf(const TNodeObject* node) const {
    if (!tree_) {
        return {};
    }
    if (!node) {
        return tree_->Roots();
    }
    std::vector<TNodeObject*> children;
    for (TConvertedNode* child : tree_->Children(*node)) {
        children.push_back(child);
    }
    return children;
}

TNodeObject* CategoryTreeModel::NodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<TNodeObject*>(index.internalPointer()) : nullptr;
}

QModelIndex CategoryTreeModel::IndexOf(const TNodeObject* node) const {
    if (!node) {
        return {};
    }
    const std::vector<TNodeObject*> siblings = ChildrenOf(node->ParentObject());
    auto it = std::find(siblings.begin(), siblings.end(), node);
    if (it == siblings.end()) {
        return {};
    }
    return createIndex(static_cast<int>(it - siblings.begin()), 0, const_cast<TNodeObject*>(node));
}

QModelIndex CategoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const std::vector<TNodeObject*> children = ChildrenOf(NodeAt(parent));
    if (column != 0 || row < 0 || row >= static_cast<int>(children.size())) {
        return {};
    }
    return createIndex(row, 0, children[row]);
}

QModelIndex CategoryTreeModel::parent(const QModelIndex& child) const {
    const TNodeObject* node = NodeAt(child);
    return node ? IndexOf(node->ParentObject()) : QModelIndex();
}

int CategoryTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    return static_cast<int>(ChildrenOf(NodeAt(parent)).size());
}

int CategoryTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CategoryTreeModel::data(const QModelIndex& index, int role) const {
    TNodeObject* node = NodeAt(index);
    if (!node) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(node->GetText(0));
        case Qt::DecorationRole: {
            const size_t image = static_cast<size_t>(node->GetImageIndex());
            return image < nodeIcons_.size() ? nodeIcons_[image] : QIcon();
        }
        case Qt::ToolTipRole:
            if (auto* category = dynamic_cast<TConvertedNode*>(node)) {
                return QString::fromStdString(category->Path());
            }
            return {};
        default:
            return {};
    }
}

}  // namespace tw::ui
