#include "shell/category_commands.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "desktop/desktop_services.h"
#include "dialogs/category_dialog.h"
#include "platform/message_service.h"
#include "shell/action_rules.h"
#include "shell/frame_explorer.h"
#include "shell/make_action.h"
#include "tasks/configuration.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::ui {

CategoryCommands::CategoryCommands(TFrameExplorer& explorer, TAVConfiguration& configuration,
                                   QWidget* owner)
    : QObject(owner),
      explorer_(explorer),
      configuration_(configuration),
      owner_(owner),
      actOpenFolder_(
          MakeAction(owner, "actOpenFolder", QStringLiteral("Open Folder"), "folder-open")),
      actNewCategory_(
          MakeAction(owner, "actNewCategory", QStringLiteral("New Category"), "folder-new")),
      actDelCategory_(MakeAction(owner, "actDelCategory", QStringLiteral("Delete"), "edit-delete")),
      actCategoryProp_(MakeAction(owner, "actCategoryProp", QStringLiteral("Properties"),
                                  "document-properties")),
      menu_(new QMenu(owner)) {
    menu_->setObjectName(QStringLiteral("pmConverted"));
    menu_->addAction(actOpenFolder_);
    menu_->addSeparator();
    menu_->addAction(actNewCategory_);
    menu_->addAction(actDelCategory_);
    menu_->addSeparator();
    menu_->addAction(actCategoryProp_);
    connect(menu_, &QMenu::aboutToShow, this, &CategoryCommands::Update);

    connect(actOpenFolder_, &QAction::triggered, this, &CategoryCommands::OpenFolder);
    connect(actNewCategory_, &QAction::triggered, this, &CategoryCommands::NewCategory);
    connect(actDelCategory_, &QAction::triggered, this, &CategoryCommands::DeleteCategory);
    connect(actCategoryProp_, &QAction::triggered, this, &CategoryCommands::Properties);
}

void CategoryCommands::Update() {
    const bool category = explorer_.FocusedCategory() != nullptr;
    actOpenFolder_->setEnabled(category);
    actNewCategory_->setEnabled(category);
    actCategoryProp_->setEnabled(category);
    actDelCategory_->setEnabled(CanDeleteCategory(explorer_.FocusedNode()));
}

void CategoryCommands::OpenFolder() {
    TConvertedNode* category = explorer_.FocusedCategory();
    if (!category) {
        return;
    }
    const QString folder = QString::fromStdString(category->Path());
    if (!QFileInfo(folder).isDir()) {
        platform::Messages().ShowError(
            FormatPrintf("%s does not exists.", category->Path().c_str()));
        return;
    }
    ui::OpenFolder(folder);
}

void CategoryCommands::NewCategory() {
    TConvertedNode* parent = explorer_.FocusedCategory();
    if (!parent) {
        return;
    }
    std::string name;
    std::string path;
    if (!ExecuteCategoryDialog(owner_, true, configuration_.OutputFolder(), name, path)) {
        return;
    }
    try {
        explorer_.Tree().NewCategory(*parent, name, path);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
    }
}

void CategoryCommands::DeleteCategory() {
    TConvertedNode* category = explorer_.FocusedCategory();
    if (!category || !CanDeleteCategory(category)) {
        return;
    }
    try {
        explorer_.Tree().DeleteCategory(*category);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
    }
}

void CategoryCommands::Properties() {
    TConvertedNode* category = explorer_.FocusedCategory();
    if (!category) {
        return;
    }
    std::string name = category->CategoryName();
    std::string path = category->Path();
    if (!ExecuteCategoryDialog(owner_, false, configuration_.OutputFolder(), name, path)) {
        return;
    }
    try {
        explorer_.Tree().SetCategoryProperties(*category, name, path);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
    }
}

}  // namespace tw::ui
