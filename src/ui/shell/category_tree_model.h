#pragma once

// The category tree's items: the Converting node and the categories of converted files as the
// core's TCategoryTree holds them. Each item carries its node; texts and pictures are asked of
// the node when painted. UI thread only.

#include <QAbstractItemModel>
#include <QIcon>
#include <vector>

namespace tw {
class TCategoryTree;
class TNodeObject;
}  // namespace tw

namespace tw::ui {

class CategoryTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit CategoryTreeModel(QObject* parent = nullptr);

    // The tree shown; none empties the model.
    void SetTree(TCategoryTree* tree);
    // The tree's nodes were added, removed or renamed.
    void Reload();

    TNodeObject* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const TNodeObject* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<TNodeObject*> ChildrenOf(const TNodeObject* node) const;

    TCategoryTree* tree_ = nullptr;
    std::vector<QIcon> nodeIcons_;
};

}  // namespace tw::ui
