#pragma once

// The main window: the category tree beside the task list over the log pane, the toolbar and
// the menus, and the commands that start, pause, resume, stop and add tasks. It asks before
// closing while tasks are converting, and lets every run wind down before the program ends.
// UI thread only.

#include <QMainWindow>
#include <QTimer>

class QAction;

namespace tw::ui {

class TdmGlobal;
class TFrameExplorer;
class TFrameList;
class TFrameInfo;
class TaskCommands;
class CategoryCommands;

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(TdmGlobal& data, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Runs the wizard with the sources pre-set (none, one, or several converted alike) and adds
    // the tasks it returns, in order.
    void NewConversion(const QStringList& sourceFiles);
    // A later start of the program handed files over (none: only come forward).
    void OpenFromOutside(const QStringList& files);

    // Applies every command's enable rule; runs whenever the program is idle.
    void UpdateActions();

    TFrameExplorer& Explorer() const { return *explorer_; }
    TFrameList& TaskList() const { return *list_; }
    TFrameInfo& Info() const { return *info_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    QWidget* CreateFrames();
    void ScheduleUpdate();

    void StartTask();
    void PauseTask();
    void ShowOptions();
    void StopTask();
    // Stops the unfinished tasks that are converting or paused, as the program ends: they
    // come back "Interrupted".
    void InterruptActiveTasks();
    // Lets every run end and frees the tasks while the views still stand.
    void ReleaseTasks();

    TdmGlobal& data_;
    TFrameExplorer* explorer_;
    TFrameList* list_;
    TFrameInfo* info_;
    TaskCommands* taskCommands_ = nullptr;
    CategoryCommands* categoryCommands_ = nullptr;
    QTimer updateSoon_;

    QAction* actNewConversion_ = nullptr;
    QAction* actStartTask_ = nullptr;
    QAction* actPauseTask_ = nullptr;
    QAction* actStopTask_ = nullptr;
    QAction* actShutdown_ = nullptr;
    QAction* actPlayer_ = nullptr;
    QAction* actOptions_ = nullptr;
    QAction* actExit_ = nullptr;
    QAction* actAbout_ = nullptr;
    QAction* actHome_ = nullptr;
    QAction* actBugreport_ = nullptr;
};

}  // namespace tw::ui
