// Powering off when all is done: a countdown first, which the user may cancel.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "desktop/power_off.h"
#include "support/task_fakes.h"

namespace tw::ui {
namespace {

TEST(PowerOff, CountdownCancelledShutsNothingDownShutDownNowDoes) {
    test::RecordingPowerService system;
    CountdownPowerService power(system);
    EXPECT_TRUE(power.PowerOff(nullptr));
    ASSERT_NE(power.Countdown(), nullptr);
    EXPECT_TRUE(power.Countdown()->isVisible());
    EXPECT_EQ(power.Countdown()->SecondsLeft(), CountdownPowerService::kCountdownSeconds);
    // A second completion while counting down adds no second countdown.
    TFormShutdown* first = power.Countdown();
    power.PowerOff(nullptr);
    EXPECT_EQ(power.Countdown(), first);

    first->findChild<QPushButton*>("btnCancel")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return power.Countdown() == nullptr; }, 60000));
    EXPECT_EQ(system.powerOffs, 0);

    power.PowerOff(nullptr);
    ASSERT_NE(power.Countdown(), nullptr);
    power.Countdown()->findChild<QPushButton*>("btnShutdownNow")->click();
    EXPECT_EQ(system.powerOffs, 1);
}

}  // namespace
}  // namespace tw::ui
