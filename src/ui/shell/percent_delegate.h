#pragma once

// Paints the Percent column: a converting task's figure ("42%") as a progress bar carrying it,
// any other state ("Waiting", "Stopped") as its word alone, centred like the bars' figures. A
// bar costs many times what a word does, and a long queue holds many waiting tasks.

#include "shell/row_text_delegate.h"

namespace tw::ui {

class PercentDelegate : public RowTextDelegate {
    Q_OBJECT

public:
    using RowTextDelegate::RowTextDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace tw::ui
