#pragma once

// The commands of the task list's popup menu: "Delete Task(s)", "Open Source File",
// "Open Converted File" and "Explore The File". UI thread only.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace tw::ui {

class TFrameList;

class TaskCommands : public QObject {
    Q_OBJECT

public:
    // The actions and the menu belong to owner.
    TaskCommands(TFrameList& list, QWidget* owner);

    QMenu* Menu() const { return menu_; }
    // Applies the enable rules to the list's selection.
    void Update();

private:
    TFrameList& list_;
    QAction* actDelTask_;
    QAction* actOpenSource_;
    QAction* actOpenConverted_;
    QAction* actExploreFile_;
    QMenu* menu_;
};

}  // namespace tw::ui
