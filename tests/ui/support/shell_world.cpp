#include "support/shell_world.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>
#include <QTreeView>

#include "shell/frame_list.h"
#include "support/media_generator.h"

namespace tw::test {

ui::ScriptedDialogRunner::Handler Click(const char* buttonName) {
    return [name = QString::fromLatin1(buttonName)](QDialog& dialog) {
        auto* button = dialog.findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        button->click();
    };
}

ui::ScriptedDialogRunner::Handler Answer(QMessageBox::StandardButton button) {
    return [button](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    };
}

std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target,
                                             int categoryId, bool realTime) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->SetProfile("MP4");
    settings->SetCategoryId(categoryId);
    settings->ConvertOptions().Engine.RateEmulation = realTime;
    return settings;
}

bool DropFiles(ui::TFormMain& window, const QStringList& files) {
    QWidget* target = window.TaskList().View()->viewport();
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file);
    }
    data.setUrls(urls);
    const QPoint point = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::LinkAction) {
        return false;
    }
    QDropEvent drop(QPointF(point), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

ShellWorld::ShellWorld(const std::filesystem::path& home)
    : configHome_("TIDEWELL_CONFIG_HOME", home.string()),
      videos_("XDG_VIDEOS_DIR", (home / "videos").string()),
      installWizard_([this](QWidget*, const QStringList& sources) {
          wizardSources << sources.join(QLatin1Char('|'));
          ui::ConversionRequests answer;
          if (!wizardAnswers.empty()) {
              answer.push_back(std::move(wizardAnswers.front()));
              wizardAnswers.pop_front();
          }
          return answer;
      }) {
    configuration.SetPriorityApplier([](int, std::string*) { return true; });
    configuration.Load();
    // Every task converts at once unless a test sets a limit.
    configuration.PerformanceOptions().SetMaxConversions(0);
    data = std::make_unique<ui::TdmGlobal>(configuration,
                                           ui::ShellServices{&alerts, &power, &dispatcher});
    window = std::make_unique<ui::TFormMain>(*data);
    window->resize(1280, 800);
    window->show();
}

ShellWorld::~ShellWorld() {
    window.reset();
    data.reset();
}

QAction* ShellWorld::Action(const char* name) {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action;
}

void ShellWorld::Trigger(const char* name) {
    window->UpdateActions();
    Action(name)->trigger();
}

TAVTask& ShellWorld::AddTask(std::unique_ptr<TConversionSettings> settings) {
    wizardAnswers.push_back(std::move(settings));
    const size_t before = Converting().Tasks().size();
    Trigger("actNewConversion");
    EXPECT_EQ(Converting().Tasks().size(), before + 1);
    return *Converting().Tasks().back();
}

TConvertingNode& ShellWorld::Converting() {
    return *window->Explorer().Tree().ConvertingNode();
}

std::vector<TAVTask*> ShellWorld::Rows() {
    std::vector<TAVTask*> rows;
    ui::TaskListModel& model = window->TaskList().Model();
    for (int row = 0; row < model.rowCount(); ++row) {
        rows.push_back(model.TaskAt(row));
    }
    return rows;
}

QStringList ShellWorld::Errors() const {
    QStringList errors;
    for (const auto& shown : dialogs.History()) {
        if (shown.caption == QLatin1String("Error")) {
            errors << shown.text;
        }
    }
    return errors;
}

bool ShellWorld::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

}  // namespace tw::test
