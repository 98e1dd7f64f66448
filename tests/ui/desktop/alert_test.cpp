// The completion alert with a notification service and without one.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/dialog_runner.h"
#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "support/scoped_env.h"
#include "support/shell_world.h"

namespace tw::ui {
namespace {

using test::FakeNotificationBus;
using test::RecordingDesktop;

constexpr int kWaitMs = 60000;

class Alert : public ::testing::Test {
protected:
    Alert() {
        target_ = folder_ / "film.mp4";
        test::WriteFileBytes(target_, "converted");
        alert_.header = "Task Completed";
        alert_.message = target_ + " was generated.";
        alert_.targetFile = target_;
    }

    QStringList Errors() const {
        QStringList errors;
        for (const auto& shown : dialogs_.History()) {
            errors << shown.text;
        }
        return errors;
    }

    test::TempFolder folder_;
    std::string target_;
    TaskAlert alert_;
    QtUiDispatcher dispatcher_;
    QtMessageService messages_{dispatcher_};
    platform::ScopedMessageService installMessages_{messages_};
    ScriptedDialogRunner dialogs_;
    ScopedDialogRunner installDialogs_{dialogs_};
    RecordingDesktop desktop_;
    ScopedDesktopServices installDesktop_{desktop_};
    FakeNotificationBus bus_;
    DesktopAlertService alerts_{bus_};
};

TEST_F(Alert, NotificationFolderActionShowsTheFileOrSaysItIsGone) {
    alerts_.ShowAlert(alert_);
    ASSERT_EQ(bus_.sent.size(), 1u);
    EXPECT_TRUE(alerts_.Popups().isEmpty());
    bus_.Invoke(bus_.lastId, "folder");
    EXPECT_EQ(desktop_.shown, QStringList{QString::fromStdString(target_)});
    EXPECT_EQ(bus_.closed, std::vector<uint>{bus_.lastId});

    // "Close" does nothing more; another program's notification is none of ours.
    alerts_.ShowAlert(alert_);
    bus_.Invoke(bus_.lastId, "close");
    bus_.Invoke(bus_.lastId + 7, "default");
    EXPECT_EQ(desktop_.shown.size(), 1);

    alerts_.ShowAlert(alert_);
    std::filesystem::remove(target_);
    bus_.Invoke(bus_.lastId, "default");
    EXPECT_EQ(desktop_.shown.size(), 1);
    EXPECT_EQ(Errors(), QStringList{QString::fromStdString(target_ + " does not exists.")});
}

TEST_F(Alert, WithoutANotificationServiceTheProgramsOwnAlertAppears) {
    bus_.available = false;
    alerts_.ShowAlert(alert_);
    alerts_.ShowAlert(alert_);
    const QList<TAVDesktopAlert*> popups = alerts_.Popups();
    ASSERT_EQ(popups.size(), 2);
    TAVDesktopAlert* first = popups[0];
    EXPECT_EQ(first->findChild<QLabel*>("lblHeader")->text(), "Task Completed");
    EXPECT_EQ(first->findChild<QLabel*>("lblMessage")->text(),
              QString::fromStdString(target_ + " was generated."));
    // Bottom right, the second above the first.
    EXPECT_LT(popups[1]->geometry().bottom(), first->geometry().top());

    // A click on the message is "Folder".
    QLabel* message = first->findChild<QLabel*>("lblMessage");
    QTest::mouseClick(first, Qt::LeftButton, {}, message->geometry().center());
    EXPECT_EQ(desktop_.shown, QStringList{QString::fromStdString(target_)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts_.Popups().size() == 1; }, kWaitMs));

    std::filesystem::remove(target_);
    alerts_.Popups()[0]->findChild<QPushButton*>("btnFolder")->click();
    EXPECT_EQ(Errors().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return alerts_.Popups().isEmpty(); }, kWaitMs));

    alerts_.ShowAlert(alert_);
    alerts_.Popups()[0]->findChild<QPushButton*>("btnClose")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alerts_.Popups().isEmpty(); }, kWaitMs));
    EXPECT_EQ(desktop_.shown.size(), 1);
}

}  // namespace
}  // namespace tw::ui
