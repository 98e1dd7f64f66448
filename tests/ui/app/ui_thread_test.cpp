// Work reaching the UI thread from converter threads: posts in order, blocking calls with their
// exceptions, and message boxes asked for from a worker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/dialog_runner.h"
#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "support/shell_world.h"
#include "util/av_error.h"

namespace tw::ui {
namespace {

TEST(UiThread, WorkersPostInOrderAndWaitForBlockingCalls) {
    QtUiDispatcher dispatcher;
    std::vector<int> seen;
    bool onUiThread = true;
    std::atomic<bool> finished = false;
    std::jthread worker([&] {
        for (int i = 0; i < 100; ++i) {
            dispatcher.Post([&, i] {
                onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
                seen.push_back(i);
            });
        }
        dispatcher.RunBlocking([&] { seen.push_back(100); });
        EXPECT_THROW(dispatcher.RunBlocking([] { throw EAVError("refused"); }), EAVError);
        finished = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 60000));
    worker.join();
    EXPECT_TRUE(onUiThread);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(seen[i], i);
    }
}

TEST(UiThread, MessageBoxesFromAWorkerAreShownOnTheUiThread) {
    QtUiDispatcher dispatcher;
    QtMessageService messages(dispatcher);
    ScriptedDialogRunner dialogs;
    ScopedDialogRunner install(dialogs);
    bool shownOnUiThread = false;
    dialogs.Push([&](QDialog& dialog) {
        shownOnUiThread = QThread::currentThread() == qApp->thread();
        test::Answer(QMessageBox::Yes)(dialog);
    });
    bool answer = false;
    std::atomic<bool> finished = false;
    std::jthread worker([&] {
        answer = messages.AskQuestion("Go on?");
        messages.ShowError("Broken");
        finished = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 60000));
    worker.join();
    EXPECT_TRUE(shownOnUiThread);
    EXPECT_TRUE(answer);
    EXPECT_EQ(dialogs.History()[0].caption, "Warning");
    EXPECT_EQ(dialogs.History()[1].caption, "Error");
    EXPECT_EQ(dialogs.History()[1].text, "Broken");
    // Unanswered questions are No.
    EXPECT_FALSE(messages.AskQuestion("Again?"));
}

}  // namespace
}  // namespace tw::ui
