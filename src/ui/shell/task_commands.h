#pragma once

// The commands of the task list's popup menu: "Delete Task(s)", "Open Source File",
// "Open Converted File", "Explore The File" and "Move to Category" (a submenu of the
// categories). UI thread only.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace tw::ui {

class TFrameExplorer;
class TFrameList;

class TaskCommands : public QObject {
    Q_OBJECT

public:
    // The actions and the menu belong to owner.
    TaskCommands(TFrameList& list, TFrameExplorer& explorer, QWidget* owner);

    QMenu* Menu() const { return menu_; }
    // Applies the enable rules to the list's selection.
    void Update();

private:
    // The categories, each below its parent, the one on display unavailable.
    void FillMoveMenu();

    TFrameList& list_;
    TFrameExplorer& explorer_;
    QAction* actDelTask_;
    QAction* actOpenSource_;
    QAction* actOpenConverted_;
    QAction* actExploreFile_;
    QMenu* mnuMoveToCategory_;
    QMenu* menu_;
};

}  // namespace tw::ui
