#pragma once

// Paints the Percent column as a progress bar carrying the cell's own text ("42%").

#include <QStyledItemDelegate>

namespace tw::ui {

class PercentDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace tw::ui
