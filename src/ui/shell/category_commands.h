#pragma once

// The commands of a category's popup menu: "Open Folder", "New Category", "Delete" and
// "Properties". They act on the focused category. UI thread only.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace tw {
class TAVConfiguration;
}

namespace tw::ui {

class TFrameExplorer;

class CategoryCommands : public QObject {
    Q_OBJECT

public:
    // The actions and the menu belong to owner, which also parents the dialogs.
    CategoryCommands(TFrameExplorer& explorer, TAVConfiguration& configuration, QWidget* owner);

    QMenu* Menu() const { return menu_; }
    void Update();

private:
    void OpenFolder();
    void NewCategory();
    void DeleteCategory();
    void Properties();

    TFrameExplorer& explorer_;
    TAVConfiguration& configuration_;
    QWidget* owner_;
    QAction* actOpenFolder_;
    QAction* actNewCategory_;
    QAction* actDelCategory_;
    QAction* actCategoryProp_;
    QMenu* menu_;
};

}  // namespace tw::ui
