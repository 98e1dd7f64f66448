#include "shell/percent_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>

namespace tw::ui {

void PercentDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.endsWith(u'%')) {
        RowTextDelegate::paint(painter, option, index);
        return;
    }
    // The selection background first, so that a selected row still reads as one.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.fontMetrics = option.fontMetrics;
    bar.palette = option.palette;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = qBound(0, QStringView(text).chopped(1).toInt(), 100);
    bar.text = text;
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
}

void PercentDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    RowTextDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignCenter;
}

}  // namespace tw::ui
