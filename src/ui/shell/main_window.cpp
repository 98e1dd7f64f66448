#include "shell/main_window.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>

#include "app/icons.h"
#include "app/program_info.h"
#include "app/scaling.h"
#include "desktop/desktop_services.h"
#include "desktop/player_launcher.h"
#include "dialogs/about_dialog.h"
#include "dialogs/options_dialog.h"
#include "platform/message_service.h"
#include "shell/action_rules.h"
#include "shell/category_commands.h"
#include "shell/data_module.h"
#include "shell/frame_explorer.h"
#include "shell/frame_info.h"
#include "shell/frame_list.h"
#include "shell/make_action.h"
#include "shell/new_conversion.h"
#include "shell/task_commands.h"
#include "util/av_error.h"

namespace tw::ui {

TFormMain::TFormMain(TdmGlobal& data, QWidget* parent)
    : QMainWindow(parent),
      data_(data),
      explorer_(new TFrameExplorer(data.Environment())),
      list_(new TFrameList),
      info_(new TFrameInfo) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("%1  (%2)")
                       .arg(QString::fromLatin1(kProgramTitle), QString::fromLatin1(kSlogan)));
    setWindowIcon(ApplicationIcon());
    resize(ScaledPixels(*this, 744), ScaledPixels(*this, 510));

    list_->SetInfoFrame(info_);
    list_->SetConfiguration(&data_.Configuration());
    explorer_->SetTaskList(list_);
    taskCommands_ = new TaskCommands(*list_, *explorer_, this);
    categoryCommands_ = new CategoryCommands(*explorer_, data_.Configuration(), this);
    list_->SetPopupMenu(taskCommands_->Menu());
    explorer_->SetCategoryMenu(categoryCommands_->Menu());

    CreateActions();
    CreateMenus();
    CreateToolBar();
    setCentralWidget(CreateFrames());

    connect(list_, &TFrameList::FocusedTaskChanged, info_, &TFrameInfo::ShowTask);
    connect(list_, &TFrameList::FocusedTaskChanged, this, &TFormMain::ScheduleUpdate);
    connect(list_, &TFrameList::SelectionChanged, this, &TFormMain::ScheduleUpdate);
    connect(&list_->Model(), &QAbstractItemModel::dataChanged, this, &TFormMain::ScheduleUpdate);
    connect(&list_->Model(), &QAbstractItemModel::rowsRemoved, this, &TFormMain::ScheduleUpdate);
    connect(&list_->Model(), &QAbstractItemModel::modelReset, this, &TFormMain::ScheduleUpdate);
    connect(explorer_, &TFrameExplorer::NodeShown, this, &TFormMain::ScheduleUpdate);
    connect(list_, &TFrameList::FilesDropped, this, [this](const QStringList& files) {
        // The drag ends first; the wizard is modal.
        QTimer::singleShot(0, this, [this, files] { NewConversion(files); });
    });
    updateSoon_.setSingleShot(true);
    updateSoon_.setInterval(0);
    connect(&updateSoon_, &QTimer::timeout, this, &TFormMain::UpdateActions);
    // Idle time: what changes on disk (a source deleted elsewhere) shows up too.
    if (auto* events = QAbstractEventDispatcher::instance()) {
        connect(events, &QAbstractEventDispatcher::aboutToBlock, this, &TFormMain::UpdateActions);
    }

    explorer_->BuildTree();
    if (TConvertingNode* converting = explorer_->Tree().ConvertingNode()) {
        explorer_->SelectNode(*converting);
    }
    actShutdown_->setChecked(data_.Configuration().ShutdownWhenDone());
    UpdateActions();
}

TFormMain::~TFormMain() {
    ReleaseTasks();
}

void TFormMain::CreateActions() {
    actNewConversion_ =
        MakeAction(this, "actNewConversion", QStringLiteral("New Conversion"), "document-new");
    actNewConversion_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actStartTask_ =
        MakeAction(this, "actStartTask", QStringLiteral("Start Task"), "media-playback-start");
    actPauseTask_ =
        MakeAction(this, "actPauseTask", QStringLiteral("Pause Task"), "media-playback-pause");
    actStopTask_ =
        MakeAction(this, "actStopTask", QStringLiteral("Stop Task"), "media-playback-stop");
    actShutdown_ = MakeAction(this, "actShutdown", QStringLiteral("Shutdown PC When Done"));
    actShutdown_->setCheckable(true);
    actPlayer_ = MakeAction(this, "actPlayer", QStringLiteral("Audio Video Player"),
                            "applications-multimedia");
    actOptions_ = MakeAction(this, "actOptions", QStringLiteral("Options"), "preferences-system");
    actExit_ = MakeAction(this, "actExit", QStringLiteral("Exit"), "application-exit");
    actExit_->setShortcut(QKeySequence::Quit);
    actAbout_ = MakeAction(this, "actAbout", QStringLiteral("About..."), "help-about");
    actHome_ = MakeAction(this, "actHome", QStringLiteral("Homepage"), "go-home");
    actBugreport_ = MakeAction(this, "actBugreport", QStringLiteral("Bug Report"), "mail-send");

    connect(actNewConversion_, &QAction::triggered, this, [this] { NewConversion({}); });
    connect(actStartTask_, &QAction::triggered, this, &TFormMain::StartTask);
    connect(actPauseTask_, &QAction::triggered, this, &TFormMain::PauseTask);
    connect(actStopTask_, &QAction::triggered, this, &TFormMain::StopTask);
    connect(actShutdown_, &QAction::toggled, this,
            [this](bool on) { data_.Configuration().SetShutdownWhenDone(on); });
    connect(actPlayer_, &QAction::triggered, this, [] { StartPlayer(); });
    connect(actOptions_, &QAction::triggered, this, &TFormMain::ShowOptions);
    // Exit closes the window as its close button does, asking first while tasks convert.
    connect(actExit_, &QAction::triggered, this, &QWidget::close);
    connect(actAbout_, &QAction::triggered, this, [this] { ExecuteAbout(this); });
    connect(actHome_, &QAction::triggered, this,
            [] { Desktop().OpenUrl(QUrl(QString::fromLatin1(kHomePage))); });
    connect(actBugreport_, &QAction::triggered, this,
            [] { Desktop().OpenUrl(QUrl(QString::fromLatin1(kSupportMail))); });
}

void TFormMain::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(actNewConversion_);
    file->addSeparator();
    file->addAction(actStartTask_);
    file->addAction(actPauseTask_);
    file->addAction(actStopTask_);
    file->addSeparator();
    file->addAction(actExit_);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(actPlayer_);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->addAction(actShutdown_);
    options->addSeparator();
    options->addAction(actOptions_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(actHome_);
    help->addAction(actBugreport_);
    help->addSeparator();
    help->addAction(actAbout_);

    for (QMenu* menu : {file, tools, options, help}) {
        connect(menu, &QMenu::aboutToShow, this, &TFormMain::UpdateActions);
    }
}

void TFormMain::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("tbMain"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(ScaledPixels(*this, 32), ScaledPixels(*this, 32)));
    bar->addAction(actNewConversion_);
    bar->addAction(actStartTask_);
    bar->addAction(actPauseTask_);
    bar->addAction(actStopTask_);
    bar->addSeparator();
    bar->addAction(actHome_);
}

QWidget* TFormMain::CreateFrames() {
    auto* right = new QSplitter(Qt::Vertical);
    right->setObjectName(QStringLiteral("splTasks"));
    right->addWidget(list_);
    right->addWidget(info_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    right->setSizes({ScaledPixels(*this, 353), ScaledPixels(*this, 120)});

    auto* main = new QSplitter(Qt::Horizontal);
    main->setObjectName(QStringLiteral("splMain"));
    main->addWidget(explorer_);
    main->addWidget(right);
    main->setStretchFactor(1, 1);
    main->setSizes({ScaledPixels(*this, 209), ScaledPixels(*this, 535)});
    main->setChildrenCollapsible(false);
    return main;
}

void TFormMain::ScheduleUpdate() {
    if (!updateSoon_.isActive()) {
        updateSoon_.start();
    }
}

void TFormMain::UpdateActions() {
    const TaskSelection selection = list_->Selection();
    actNewConversion_->setEnabled(HasNewConversion());
    actStartTask_->setEnabled(CanStartTask(selection));
    actPauseTask_->setEnabled(CanPauseTask(selection));
    actStopTask_->setEnabled(CanStopTasks(selection));
    taskCommands_->Update();
    categoryCommands_->Update();
    info_->UpdateActions();
}

void TFormMain::NewConversion(const QStringList& sourceFiles) {
    if (!HasNewConversion()) {
        return;
    }
    ConversionRequests requests = ExecuteNewConversion(this, sourceFiles);
    TConvertingNode* converting = explorer_->Tree().ConvertingNode();
    if (!converting) {
        return;
    }
    // One refused request (its target is being written) leaves the others added.
    QStringList refusals;
    for (std::unique_ptr<TConversionSettings>& settings : requests) {
        try {
            converting->AddTask(std::move(settings));
        } catch (const EAVError& e) {
            refusals << QString::fromUtf8(e.what());
        }
    }
    if (!refusals.isEmpty()) {
        platform::Messages().ShowError(refusals.join(QLatin1Char('\n')).toStdString());
    }
    ScheduleUpdate();
}

void TFormMain::OpenFromOutside(const QStringList& files) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!files.isEmpty()) {
        QTimer::singleShot(0, this, [this, files] { NewConversion(files); });
    }
}

void TFormMain::ShowOptions() {
    if (ExecuteOptions(this, data_.Configuration())) {
        // More places may have come free.
        if (TConvertingNode* converting = explorer_->Tree().ConvertingNode()) {
            converting->StartWaiting();
        }
        ScheduleUpdate();
    }
}

void TFormMain::StartTask() {
    const TaskSelection selection = list_->Selection();
    if (!CanStartTask(selection)) {
        return;
    }
    TAVTask& task = *selection.focused;
    TConvertingNode* converting = explorer_->Tree().ConvertingNode();
    if (StartResumes(task)) {
        task.Resume();
    } else if (converting) {
        try {
            // Started when a place is free, else it waits for its turn.
            if (!converting->Enqueue(task)) {
                platform::Messages().ShowError(
                    "The task could not be started: its previous run has not ended yet.");
            }
        } catch (const EAVError& e) {
            // Another task is writing its target now.
            platform::Messages().ShowError(e.what());
        }
    }
    list_->RepaintRow(task);
    ScheduleUpdate();
}

void TFormMain::PauseTask() {
    const TaskSelection selection = list_->Selection();
    if (CanPauseTask(selection)) {
        selection.focused->Pause();
        list_->RepaintRow(*selection.focused);
    }
    ScheduleUpdate();
}

void TFormMain::StopTask() {
    list_->StopSelectedTasks();
    for (TAVTask* task : list_->Selection().selected) {
        list_->RepaintRow(*task);
    }
    ScheduleUpdate();
}

void TFormMain::InterruptActiveTasks() {
    TConvertingNode* converting = explorer_->Tree().ConvertingNode();
    if (!converting) {
        return;
    }
    // Those waiting for their turn stay so, for the next start of the program.
    converting->HoldQueue();
    for (auto it = converting->Tasks().rbegin(); it != converting->Tasks().rend(); ++it) {
        if ((*it)->IsActive()) {
            (*it)->Interrupt();
            list_->RepaintRow(**it);
        }
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    TConvertingNode* converting = explorer_->Tree().ConvertingNode();
    if (converting && HasActiveTask(converting->Tasks())) {
        if (!platform::Messages().AskQuestion("There are running tasks, are you sure to exit?")) {
            event->ignore();
            return;
        }
        InterruptActiveTasks();
    }
    event->accept();
}

void TFormMain::ReleaseTasks() {
    InterruptActiveTasks();
    // A stopped run still finishes its file; completions arriving meanwhile are handled as
    // usual, so the list is looked at afresh after every wait.
    if (TConvertingNode* converting = explorer_->Tree().ConvertingNode()) {
        for (bool again = true; again;) {
            again = false;
            for (const auto& task : converting->Tasks()) {
                if (task->Converter().IsWorking()) {
                    again = task->Converter().WaitForEnd(TConvertingTask::kWindDownLimit);
                    break;
                }
            }
        }
    }
    info_->ShowTask(nullptr);
    list_->Clear();
    explorer_->ReleaseTree();
    // Finished tasks are freed by queued calls.
    data_.Environment().UiThread().ProcessPending();
}

}  // namespace tw::ui
