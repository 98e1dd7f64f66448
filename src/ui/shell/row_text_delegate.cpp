#include "shell/row_text_delegate.h"

#include <QApplication>
#include <QPainter>

namespace tw::ui {

namespace {

// Texts kept laid out; a list's cells hold far fewer, so the whole store is dropped when full.
constexpr int kMostLaid = 4096;

}  // namespace

void RowTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    cell.text.clear();
    QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    if (text.isEmpty()) {
        return;
    }
    // Where the style puts the text (beside the status picture), less its margins.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget)
                           .adjusted(margin, 0, -margin, 0);
    if (area.width() <= 0) {
        return;
    }
    const QStaticText& laid = Laid(text, area.width(), cell);
    const QRect placed =
        QStyle::alignedRect(cell.direction, cell.displayAlignment, laid.size().toSize(), area);
    const QPalette::ColorGroup group = !(cell.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (cell.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const QPalette::ColorRole role =
        (cell.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setClipRect(area, Qt::IntersectClip);
    painter->setPen(cell.palette.color(group, role));
    painter->setFont(cell.font);
    painter->drawStaticText(placed.topLeft(), laid);
    painter->restore();
}

const QStaticText& RowTextDelegate::Laid(const QString& text, int width,
                                         const QStyleOptionViewItem& option) const {
    if (option.font != font_ || laid_.size() >= kMostLaid) {
        laid_.clear();
        font_ = option.font;
    }
    const std::pair<QString, int> key(text, width);
    auto it = laid_.find(key);
    if (it == laid_.end()) {
        QStaticText laid(QFontMetrics(option.font).elidedText(text, option.textElideMode, width));
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), option.font);
        it = laid_.insert(key, laid);
    }
    return *it;
}

}  // namespace tw::ui
