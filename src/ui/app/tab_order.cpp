#include "app/tab_order.h"

#include <QGridLayout>
#include <QLayout>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <algorithm>
#include <tuple>
#include <vector>

namespace tw::ui {

namespace {

class LayoutOrder {
public:
    void Visit(QWidget* widget) {
        if (!widget || widget->isWindow() != (widget == root_)) {
            return;
        }
        if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            Add(tabs->tabBar());
            for (int i = 0; i < tabs->count(); ++i) {
                Visit(tabs->widget(i));
            }
            return;
        }
        if (widget != root_ && (widget->focusPolicy() & Qt::TabFocus) &&
            !qobject_cast<QScrollArea*>(widget)) {
            // A field looks after its own parts (a spin box's text, a list's rows).
            Add(widget);
            return;
        }
        if (auto* scroll = qobject_cast<QScrollArea*>(widget)) {
            Visit(scroll->widget());
        } else if (auto* split = qobject_cast<QSplitter*>(widget)) {
            for (int i = 0; i < split->count(); ++i) {
                Visit(split->widget(i));
            }
        } else if (auto* stack = qobject_cast<QStackedWidget*>(widget)) {
            for (int i = 0; i < stack->count(); ++i) {
                Visit(stack->widget(i));
            }
        } else if (widget->layout()) {
            Visit(widget->layout());
        } else {
            for (QObject* child : widget->children()) {
                if (auto* childWidget = qobject_cast<QWidget*>(child)) {
                    Visit(childWidget);
                }
            }
        }
    }

    void Visit(QLayout* layout) {
        std::vector<std::tuple<int, int, int>> places;  // row, column, item
        auto* grid = qobject_cast<QGridLayout*>(layout);
        for (int i = 0; i < layout->count(); ++i) {
            int row = 0;
            int column = 0;
            if (grid) {
                int rowSpan = 0;
                int columnSpan = 0;
                grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            }
            places.emplace_back(row, column, i);
        }
        // A grid's items in reading order, whatever order they were added in.
        std::stable_sort(places.begin(), places.end());
        for (const auto& [row, column, index] : places) {
            QLayoutItem* item = layout->itemAt(index);
            if (item->widget()) {
                Visit(item->widget());
            } else if (item->layout()) {
                Visit(item->layout());
            }
        }
    }

    void Apply() const {
        for (size_t i = 1; i < fields_.size(); ++i) {
            QWidget::setTabOrder(fields_[i - 1], fields_[i]);
        }
        // A window that has not chosen where the user starts starts at its first field (a
        // dialog would otherwise pick its default button).
        if (!fields_.empty() && !root_->focusWidget()) {
            fields_.front()->setFocus();
        }
    }

    explicit LayoutOrder(QWidget& root) : root_(&root) {}

private:
    void Add(QWidget* field) {
        if (std::find(fields_.begin(), fields_.end(), field) == fields_.end()) {
            fields_.push_back(field);
        }
    }

    QWidget* root_;
    std::vector<QWidget*> fields_;
};

}  // namespace

void FollowLayoutTabOrder(QWidget& window) {
    LayoutOrder order(window);
    order.Visit(&window);
    order.Apply();
}

}  // namespace tw::ui
