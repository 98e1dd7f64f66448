#include "shell/task_commands.h"

#include <QAction>
#include <QMenu>

#include "app/icons.h"
#include "desktop/desktop_services.h"
#include "desktop/player_launcher.h"
#include "shell/action_rules.h"
#include "shell/frame_explorer.h"
#include "shell/frame_list.h"
#include "shell/make_action.h"

namespace tw::ui {

TaskCommands::TaskCommands(TFrameList& list, TFrameExplorer& explorer, QWidget* owner)
    : QObject(owner),
      list_(list),
      explorer_(explorer),
      actDelTask_(MakeAction(owner, "actDelTask", QStringLiteral("Delete Task(s)"), "edit-delete")),
      actOpenSource_(
          MakeAction(owner, "actOpenSource", QStringLiteral("Open Source File"), "document-open")),
      actOpenConverted_(MakeAction(owner, "actOpenConverted", QStringLiteral("Open Converted File"),
                                   "media-playback-start")),
      actExploreFile_(MakeAction(owner, "actExploreFile", QStringLiteral("Explore The File"),
                                 "system-file-manager")),
      mnuMoveToCategory_(new QMenu(QStringLiteral("Move to Category"), owner)),
      menu_(new QMenu(owner)) {
    mnuMoveToCategory_->setObjectName(QStringLiteral("mnuMoveToCategory"));
    mnuMoveToCategory_->menuAction()->setObjectName(QStringLiteral("actMoveToCategory"));
    mnuMoveToCategory_->setIcon(ThemeIcon(QStringLiteral("folder")));
    connect(mnuMoveToCategory_, &QMenu::aboutToShow, this, &TaskCommands::FillMoveMenu);
    menu_->setObjectName(QStringLiteral("pmTask"));
    menu_->addAction(actDelTask_);
    menu_->addSeparator();
    menu_->addAction(actOpenSource_);
    menu_->addAction(actOpenConverted_);
    menu_->addAction(actExploreFile_);
    menu_->addSeparator();
    menu_->addMenu(mnuMoveToCategory_);
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
    mnuMoveToCategory_->menuAction()->setEnabled(CanMoveTasks(selection));
}

void TaskCommands::FillMoveMenu() {
    mnuMoveToCategory_->clear();
    const TNodeObject* shown = explorer_.DisplayedNode();
    for (const auto& [category, depth] : explorer_.Tree().CategoriesInOrder()) {
        QAction* action =
            mnuMoveToCategory_->addAction(QString(depth * 4, QLatin1Char(' ')) +
                                          QString::fromStdString(category->CategoryName()));
        action->setEnabled(category != shown);
        const int id = category->ID();
        connect(action, &QAction::triggered, this, [this, id] {
            const TaskSelection selection = list_.Selection();
            TConvertedNode* to = explorer_.Tree().FindCategory(id);
            if (to && CanMoveTasks(selection)) {
                explorer_.MoveTasks(selection.selected, *to);
            }
        });
    }
}

}  // namespace tw::ui
