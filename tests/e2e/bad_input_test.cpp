// Inputs and settings a conversion cannot use: each run ends with a clear message that reaches
// the owner, without a crash or a hang, and leaves no worker registered.
#include <gtest/gtest.h>

#include "media/library.h"
#include "support/conversion_runner.h"
#include "support/media_facts.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"

namespace tw::test {
namespace {

// Runs a conversion expected to fail before or during the loop.
ConversionOutcome Fail(ConversionRunner& runner, const std::string& input,
                       const std::string& output) {
    ConversionOutcome outcome = runner.Run({input}, {output}, std::chrono::seconds(60));
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.errorEvents, 1);
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
    EXPECT_EQ(runner.Converter().State(), TAVConverter::RunState::Idle);
    return outcome;
}

bool Shown(const ConversionOutcome& outcome, const std::string& start) {
    for (const std::string& m : outcome.messages) {
        if (m.rfind(start, 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(BadInput, MissingFile) {
    TempFolder folder;
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "nothing.mp4", folder / "out.mp4");
    EXPECT_EQ(outcome.errorMessage, "Could not open file:-2!");
    // No library line explains the number; the library's words for it do.
    EXPECT_TRUE(Shown(outcome, "Could not open file:-2!:No such file or directory"));
    // Opening failed: the run never reached its loop, so there is no completion.
    EXPECT_EQ(outcome.completeEvents, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.mp4"));
}

TEST(BadInput, EmptyFile) {
    TempFolder folder;
    WriteBytes(folder / "empty.mp4", std::string());
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "empty.mp4", folder / "out.mp4");
    EXPECT_EQ(outcome.errorMessage.rfind("Could not open file:", 0), 0u) << outcome.errorMessage;
}

TEST(BadInput, RandomBytes) {
    TempFolder folder;
    WriteRandomFile(folder / "noise.avi", 200000, 7);
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "noise.avi", folder / "out.mp4");
    EXPECT_FALSE(outcome.errorMessage.empty());
}

TEST(BadInput, TruncatedMp4WithoutItsIndex) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "whole.mp4");
    TruncateCopy(folder / "whole.mp4", folder / "half.mp4", 0.5);
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "half.mp4", folder / "out.mkv");
    EXPECT_FALSE(outcome.errorMessage.empty());
}

TEST(BadInput, TruncatedStreamConvertsWhatIsThere) {
    TempFolder folder;
    ClipDescription clip;
    clip.durationSec = 4;
    GenerateClip(clip, folder / "whole.ts");
    TruncateCopy(folder / "whole.ts", folder / "half.ts", 0.5);
    ConversionRunner runner;
    const ConversionOutcome outcome = runner.Run({folder / "half.ts"}, {folder / "out.mkv"});
    ASSERT_EQ(outcome.errorMessage, "");
    const double seconds = InspectMedia(folder / "out.mkv").First(StreamKind::Video).durationSec;
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 3.5);
}

TEST(BadInput, UnknownForcedFormat) {
    TempFolder folder;
    ConversionRunner runner;
    runner.Options().SetInputFormat("no-such-format");
    const ConversionOutcome outcome = Fail(runner, folder / "in.mp4", folder / "out.mp4");
    EXPECT_EQ(outcome.errorMessage, "Unknown input no-such-format or Output format ");
}

TEST(BadInput, UnknownAndWrongEncoderNames) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("no-such-encoder");
        EXPECT_EQ(Fail(runner, folder / "in.mkv", folder / "a.mp4").errorMessage,
                  "Unknown Codec Name");
    }
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetEncoderVideoCodecName("aac");
        EXPECT_EQ(Fail(runner, folder / "in.mkv", folder / "b.mp4").errorMessage,
                  "Invalid codec type");
    }
    {
        ConversionRunner runner;
        runner.Options().VideoOptions().SetDecoderVideoCodecName("mp3");
        EXPECT_EQ(Fail(runner, folder / "in.mkv", folder / "c.mp4").errorMessage,
                  "Invalid codec type");
    }
}

TEST(BadInput, OutputNameWithoutAFormat) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "in.mkv", folder / "out.unknownext");
    EXPECT_EQ(outcome.errorMessage,
              "Unable to find a suitable output format for " + (folder / "out.unknownext"));
}

TEST(BadInput, EncoderThatRefusesItsParameters) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    ConversionRunner runner;
    // H.263 only takes a few fixed picture sizes.
    runner.Options().VideoOptions().SetEncoderVideoCodecName("h263");
    const ConversionOutcome outcome = Fail(runner, folder / "in.mkv", folder / "out.avi");
    EXPECT_EQ(outcome.errorMessage,
              "Error while opening codec for output stream - maybe incorrect parameters such as "
              "bit_rate, rate, width or height");
    // The failure came after the loop was set up, so the owner hears the end as well.
    EXPECT_EQ(outcome.completeEvents, 1);
}

TEST(BadInput, UndecodableVideoIsNamedAndItsSoundStillConverts) {
    TempFolder folder;
    ClipDescription clip;
    clip.videoCodec = "mpeg2video";
    clip.videoUndecodable = true;
    GenerateClip(clip, folder / "noise.mkv");
    ConversionRunner runner;
    const ConversionOutcome outcome = Fail(runner, folder / "noise.mkv", folder / "out.mp4");
    EXPECT_EQ(outcome.errorMessage, "Video pixel format is unknown, stream can not be decoded");
    ConversionRunner soundOnly;
    const ConversionOutcome sound = soundOnly.Run({folder / "noise.mkv"}, {folder / "out.mp3"});
    EXPECT_EQ(sound.errorMessage, "");
    EXPECT_NEAR(InspectMedia(folder / "out.mp3").First(StreamKind::Audio).durationSec, 2, 0.1);
}

TEST(BadInput, DiskFullAtTheEndIsAFailure) {
    // Everything fits the write buffer until the trailer, whose writing fails.
    ConversionRunner runner;
    runner.Options().SetInputFormat("lavfi");
    runner.Options().SetOutputFormat("matroska");
    const ConversionOutcome outcome =
        Fail(runner, LavfiSource(64, 48, "5", 0.4, 8000, 1), "/dev/full");
    EXPECT_EQ(outcome.errorMessage,
              "Could not finish the output file /dev/full: No space left on device");
    // The run reached its loop: the owner hears of its end, as a failure.
    EXPECT_EQ(outcome.completeEvents, 1);
}

TEST(BadInput, OutputThatIsTheInputIsRefusedAndTheSourceKept) {
    TempFolder folder;
    ClipDescription clip;
    GenerateClip(clip, folder / "in.mkv");
    const auto size = std::filesystem::file_size(folder / "in.mkv");
    std::filesystem::create_symlink(folder / "in.mkv", folder / "link.mkv");
    const std::string spellings[] = {folder / "in.mkv", folder / "link.mkv",
                                     (folder.Path() / "." / "in.mkv").string()};
    for (const std::string& output : spellings) {
        ConversionRunner runner;
        const ConversionOutcome outcome = Fail(runner, folder / "in.mkv", output);
        EXPECT_NE(outcome.errorMessage.find("is one of the input files"), std::string::npos)
            << output;
        EXPECT_EQ(std::filesystem::file_size(folder / "in.mkv"), size);
    }
    EXPECT_EQ(InspectMedia(folder / "in.mkv").First(StreamKind::Video).decodedFrameCount, 50);
}

}  // namespace
}  // namespace tw::test
