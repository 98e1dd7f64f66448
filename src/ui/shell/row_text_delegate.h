#pragma once

// Paints the task list's cells with their texts laid out once: progress repaints every row of a
// long list several times a second, and laying each cell's text out again, as the style does,
// is most of what such a paint costs. The background, selection, focus frame and status picture
// are the style's own; the text is elided and aligned as the style would.

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <utility>

namespace tw::ui {

class RowTextDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    // text as it fits width, laid out in the option's font.
    const QStaticText& Laid(const QString& text, int width,
                            const QStyleOptionViewItem& option) const;

    mutable QFont font_;
    mutable QHash<std::pair<QString, int>, QStaticText> laid_;
};

}  // namespace tw::ui
