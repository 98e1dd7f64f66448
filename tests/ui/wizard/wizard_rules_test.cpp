// The wizard's target names where the window tests do not reach: a disc title's name and the
// output folder left empty in the options.
#include <gtest/gtest.h>

#include "wizard/wizard_rules.h"

namespace tw::ui::wizard {
namespace {

TEST(WizardRules, TargetsGoIntoTheOutputFolderUnlessThereIsNone) {
    EXPECT_EQ(MoveIntoFolder(DvdSourceTarget("HOLIDAY", 3, ".mp4"), "/v/out/"),
              "/v/out/HOLIDAY_3.mp4");
    EXPECT_EQ(MoveIntoFolder("/films/a.mkv", "/v/out"), "/v/out/a.mkv");
    // No folder: the target stays where it is rather than in the file system's root.
    EXPECT_EQ(MoveIntoFolder("/films/a.mkv", ""), "/films/a.mkv");
    // A target without a file name is not made into a folder name.
    EXPECT_EQ(MoveIntoFolder("", "/v/out"), "");
}

}  // namespace
}  // namespace tw::ui::wizard
