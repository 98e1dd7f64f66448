#include "shell/task_commands.h"

#include <QAction>
#include <QMenu>

#include "desktop/desktop_services.h"
#include "desktop/player_launcher.h"
#include "shell/action_rules.h"
#include "shell/frame_list.h"
#include "shell/make_action.h"

namespace tw::ui {

TaskCommands::TaskCommands(TFrameList& list, QWidget* owner)
    : QObject(owner),
      list_(list),
      actDelTask_(MakeAction(owner, "actDelTask", QStringLiteral("Delete Task(s)"), "edit-delete")),
      actOpenSource_(
          MakeAction(owner, "actOpenSource", QStringLiteral("Open Source File"), "document-open")),
      actOpenConverted_(MakeAction(owner, "actOpenConverted", QStringLiteral("Open Converted File"),
                                   "media-playback-start")),
      actExploreFile_(MakeAction(owner, "actExploreFile", QStringLiteral("Explore The File"),
                                 "system-file-manager")),
      menu_(new QMenu(owner)) {
    menu_->setObjectName(QStringLiteral("pmTask"));
    menu_->addAction(actDelTask_);
    menu_->addSeparator();
    menu_->addAction(actOpenSource_);
    menu_->addAction(actOpenConverted_);
    menu_->addAction(actExploreFile_);
    connect(menu_, &QMenu::aboutToShow, this, &TaskCommands::Update);

    connect(actDelTask_, &QAction::triggered, this, [this] { list_.DeleteSelectedTasks(); });
    connect(actOpenSource_, &QAction::triggered, this, [this] {
        if (CanOpenSource(list_.Selection())) {
            OpenDocument(QString::fromStdString(list_.FocusedTask()->Settings().SourceFile()));
        }
    });
    connect(actOpenConverted_, &QAction::triggered, this, [this] {
        if (CanOpenConverted(list_.Selection())) {
            OpenInPlayer(QString::fromStdString(list_.FocusedTask()->Settings().TargetFile()));
        }
    });
    connect(actExploreFile_, &QAction::triggered, this, [this] {
        if (CanOpenConverted(list_.Selection())) {
            RevealFile(QString::fromStdString(list_.FocusedTask()->Settings().TargetFile()));
        }
    });
}

void TaskCommands::Update() {
    const TaskSelection selection = list_.Selection();
    actDelTask_->setEnabled(CanDeleteTasks(selection));
    actOpenSource_->setEnabled(CanOpenSource(selection));
    const bool converted = CanOpenConverted(selection);
    actOpenConverted_->setEnabled(converted);
    actExploreFile_->setEnabled(converted);
}

}  // namespace tw::ui
