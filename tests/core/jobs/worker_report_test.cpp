// Report and control lines: figures and texts arrive as sent, a report of a later revision is
// passed over, and anything else is no report.
#include "jobs/worker_report.h"

#include <gtest/gtest.h>

namespace tw::jobs {
namespace {

TEST(WorkerReport, LinesCarryFiguresAndTextsAndRefuseWhatIsNoReport) {
    Report done;
    done.kind = Report::Kind::Done;
    done.figures = {12.5, 6.25, 812.5, 1700000000123456, 1700000004123456, 1 << 20, 3 << 20, 50, 4};
    done.texts = RunTexts{"Could not open file", "No such file or directory",
                          "Could not open file:No such file or directory", ""};
    done.completed = true;
    const Report read = ParseReport(ReportLine(done));
    EXPECT_EQ(read.kind, Report::Kind::Done);
    EXPECT_EQ(read.figures.convertedDuration, 6.25);
    EXPECT_EQ(read.figures.startTime, 1700000000123456);
    EXPECT_EQ(read.figures.inputSize, 3 << 20);
    ASSERT_TRUE(read.texts);
    EXPECT_EQ(read.texts->lastLogMessage, "No such file or directory");
    EXPECT_EQ(read.texts->failureText, "Could not open file:No such file or directory");
    EXPECT_TRUE(read.completed);
    EXPECT_FALSE(read.failed);

    // A library line naming a file in another encoding still makes a line.
    Report log;
    log.kind = Report::Kind::Log;
    log.level = 24;
    log.text = "cannot read caf\xe9.srt";
    EXPECT_EQ(ParseReport(ReportLine(log)).text, "cannot read caf\xEF\xBF\xBD.srt");

    EXPECT_EQ(ParseReport(R"({"event":"checkpoint","segment":3})").kind, Report::Kind::Unknown);
    for (const char* bad : {"", "Segmentation fault", "[]", "{}", R"({"event":"log","level":"x"})",
                            R"({"event":"progress"})"}) {
        EXPECT_THROW(ParseReport(bad), EBadReport) << bad;
    }

    for (Control control : {Control::Run, Control::Pause, Control::Stop}) {
        EXPECT_EQ(ParseControl(ControlLine(control)), control);
    }
    EXPECT_EQ(ParseControl(R"({"control":"faster"})"), std::nullopt);
    EXPECT_EQ(ParseControl("stop"), std::nullopt);
}

}  // namespace
}  // namespace tw::jobs
