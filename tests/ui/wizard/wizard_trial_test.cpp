// The wizard's trial run: a sample converted while the window goes on, then the prediction for
// the whole span and the sample to play.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "engine/trial_run.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/wizard_support.h"
#include "wizard/frame_trial.h"

namespace tw::test {
namespace {

TEST(WizardTrial, ConvertsASampleWithoutBlockingAndPredictsTheWholeSpan) {
    TempFolder home;
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 24;
    const std::string source = home / "holiday.mkv";
    GenerateClip(clip, source);
    ShellWorld world(home.Path());
    ui::TFormNewConversion wizard(WizardEnvironmentOf(world));
    wizard.show();
    wizard.SetSourceFile(QString::fromStdString(source));
    ChooseProfile(wizard, "Video", "Matroska Video");

    ui::TFrameTrial& trial = wizard.Trial();
    QSignalSpy ended(&trial, &ui::TFrameTrial::ended);
    auto* button = Find<QPushButton>(&wizard, "btnTrial");
    ClickWhenOffered(button);
    // The span is measured and the sample converted off the window's thread, which goes on
    // answering meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return trial.Running(); }, 60000));
    EXPECT_EQ(button->text(), "Stop T&rial");
    ASSERT_TRUE(ended.count() > 0 || ended.wait(120000));

    EXPECT_FALSE(trial.Running());
    const QString result = trial.ResultText();
    EXPECT_TRUE(result.startsWith("Sample: 10.0 s converted in ")) << result.toStdString();
    EXPECT_TRUE(result.contains("Predicted for all 0:00:24: ")) << result.toStdString();
    // The sample: 10 seconds, in the program's own folder rather than among the user's files.
    const std::string sample = trial.SampleFile().toStdString();
    EXPECT_TRUE(QString::fromStdString(sample).endsWith(".sample.mkv")) << sample;
    EXPECT_NE(sample.rfind(home.Path().string(), 0), 0u) << sample;
    EXPECT_NEAR(engine::MediaSeconds(sample).value_or(0), 10, 0.3);
    EXPECT_TRUE(Find<QPushButton>(&wizard, "btnPlaySample")->isVisibleTo(&wizard));

    // Another profile: the old result no longer holds.
    ChooseProfile(wizard, "IPod", "IPod 320x240 Video");
    EXPECT_TRUE(trial.ResultText().isEmpty());
    EXPECT_FALSE(Find<QPushButton>(&wizard, "btnPlaySample")->isVisibleTo(&wizard));
}

}  // namespace
}  // namespace tw::test
