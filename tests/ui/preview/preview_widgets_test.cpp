// The preview frame and the player window on the offscreen platform, playing generated clips.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QAudioDevice>
#include <QLabel>
#include <QMediaDevices>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include "platform/message_service.h"
#include "preview/frame_preview.h"
#include "preview/player_window.h"
#include "preview/preview_rules.h"
#include "preview/time_bar.h"
#include "preview/video_view.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::ui {
namespace {

// A 12-second clip with sound, made once.
const QString& Clip() {
    static tw::test::TempFolder folder;
    static const QString clip = [] {
        tw::test::ClipDescription source;
        source.width = 160;
        source.height = 90;
        source.frameRate = {10, 1};
        source.durationSec = 12.0;
        const std::string path = folder / "clip.mkv";
        tw::test::GenerateClip(source, path);
        return QString::fromStdString(path);
    }();
    return clip;
}

constexpr int kWaitMs = 60000;

template <class T>
T* Child(QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString Text(QObject* parent, const char* name) {
    return Child<QLabel>(parent, name)->text();
}

TEST(FramePreview, MarksGiveTheSecondsTheWizardReadsAndLabelThem) {
    FramePreview frame;
    frame.resize(480, 360);
    frame.show();
    auto* play = Child<QAction>(&frame, "actPlay");
    auto* setStart = Child<QAction>(&frame, "actSetStart");
    auto* setEnd = Child<QAction>(&frame, "actSetEnd");
    EXPECT_FALSE(play->isEnabled());
    EXPECT_EQ(Text(&frame, "lblStart"), "Start[0:0:0]");

    ASSERT_TRUE(frame.OpenSource(Clip()));
    // Opened stopped: playing needs the button, the bar and the marks work at once.
    EXPECT_TRUE(play->isEnabled());
    EXPECT_EQ(play->toolTip(), "Play");
    EXPECT_TRUE(setStart->isEnabled());
    EXPECT_TRUE(setEnd->isEnabled());
    EXPECT_TRUE(frame.Bar()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.View()->HasPicture(); }, kWaitMs));

    QSignalSpy ends(&frame, &FramePreview::selectionEndChanged);
    frame.SeekTo(9);
    setEnd->trigger();
    frame.SeekTo(4);
    setStart->trigger();
    EXPECT_EQ(frame.SelectionStart(), 4);
    EXPECT_EQ(frame.SelectionEnd(), 9);
    EXPECT_EQ(ends.count(), 1);
    EXPECT_EQ(Text(&frame, "lblStart"), "Start[0:0:4]");
    EXPECT_EQ(Text(&frame, "lblEnd"), "End[0:0:9]");
    EXPECT_EQ(preview::MarkLabel("End", 3723), "End[1:2:3]");
    EXPECT_TRUE(Text(&frame, "lblStatus").startsWith("Position: "));
    EXPECT_EQ(Text(&frame, "lblStatus").contains("no sound"),
              QMediaDevices::defaultAudioOutput().isNull());

    play->trigger();
    EXPECT_EQ(play->toolTip(), "Pause");
    play->trigger();
    EXPECT_EQ(play->toolTip(), "Play");
    EXPECT_TRUE(setStart->isEnabled());

    // A new source clears the selection; stop-and-clear leaves nothing to play.
    ASSERT_TRUE(frame.OpenSource(Clip()));
    EXPECT_EQ(frame.SelectionStart(), 0);
    EXPECT_EQ(frame.SelectionEnd(), 0);
    frame.StopAndClear();
    EXPECT_FALSE(play->isEnabled());
    EXPECT_FALSE(frame.View()->HasPicture());
}

TEST(FramePreview, ReleasingTheBarSeeksThereBeforeEverPlaying) {
    FramePreview frame;
    frame.resize(480, 360);
    frame.show();
    ASSERT_TRUE(frame.OpenSource(Clip()));
    TimeBar* bar = frame.Bar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() == 12; }, kWaitMs));

    const QPoint at(bar->width() * 3 / 4, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
    const int target = bar->value();
    EXPECT_NEAR(target, 9, 1);
    // The bar counts whole seconds of the source's length.
    EXPECT_NEAR(frame.Playback().PositionMs(), target * 1000, 100);
    // The picture at the new position comes up, stopped as the source was opened.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto& picture = frame.View()->Picture();
            const double at = frame.Playback().PositionMs() / 1000.0;
            return picture && picture->Start() <= at && at < picture->Stop();
        },
        kWaitMs));
}

TEST(FramePreview, ASourceThatCannotOpenShowsTheErrorAndStaysInactive) {
    platform::RecordingMessageService messages;
    platform::ScopedMessageService install(messages);
    FramePreview frame;
    EXPECT_FALSE(frame.OpenSource("/no/such/file.avi"));
    ASSERT_EQ(messages.Errors().size(), 1u);
    EXPECT_EQ(messages.Errors().front(), "can not open the file /no/such/file.avi!");
    EXPECT_FALSE(Child<QAction>(&frame, "actPlay")->isEnabled());
}

TEST(PlayerWindow, PlaysAFileAndAnswersTheKeysAndDrops) {
    PlayerWindow* window = OpenPlayerWindow(Clip());
    QPointer<PlayerWindow> guard(window);
    EXPECT_TRUE(window->windowTitle().endsWith("Tidewell Player"));
    EXPECT_EQ(window->Playback().State(), preview::GraphState::Running);
    // Video plays on the wall clock when there is no sound device; the status line says so.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Playback().PositionMs() > 200; }, kWaitMs));
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        EXPECT_TRUE(window->Playback().SoundMissing());
        EXPECT_TRUE(window->statusBar()->currentMessage().contains("without sound"));
    }

    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_EQ(window->Playback().State(), preview::GraphState::Paused);
    window->SeekTo(3.0);
    QTest::keyClick(window, Qt::Key_Right);
    EXPECT_EQ(window->Playback().PositionMs(), 8000);
    QTest::keyClick(window, Qt::Key_Left);
    QTest::keyClick(window, Qt::Key_Left);
    EXPECT_EQ(window->Playback().PositionMs(), 0);

    emit window->View()->doubleClicked();
    EXPECT_TRUE(window->isFullScreen());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isFullScreen());

    // A dropped file plays at once.
    window->Playback().Clear();
    EXPECT_FALSE(window->Playback().Active());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Clip())});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(window->FileName(), Clip());
    EXPECT_EQ(window->Playback().State(), preview::GraphState::Running);

    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, kWaitMs));
}

}  // namespace
}  // namespace tw::ui
