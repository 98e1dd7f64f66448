// The push source on generated sources: what it hands out and when, looping, seeking, filters,
// sources of one kind, bad sources and shutting down.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>

#include "core/dvd/test_disc.h"
#include "dvd/dvd_title_scan.h"
#include "media/library.h"
#include "media/stream_registry.h"
#include "preview/ff_push_source.h"
#include "preview_test_support.h"
#include "support/media_facts.h"
#include "util/av_error.h"

namespace tw::preview::test {
namespace {

constexpr double kFrame = 0.04;

int64_t Units(double seconds) {
    return std::llround(seconds * 1e7);
}

// The picture is the one shown at the given time.
::testing::AssertionResult Covers(const SamplePtr& picture, double seconds) {
    if (!picture) {
        return ::testing::AssertionFailure() << "no picture";
    }
    if (picture->Start() <= seconds + 1e-6 && seconds < picture->Stop()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "picture " << picture->Start() << " to "
                                         << picture->Stop() << " is not at " << seconds;
}

std::unique_ptr<TFFPushSource> LoadSource(const std::string& name, const std::string& filters = {},
                                          int loops = 1) {
    auto source = std::make_unique<TFFPushSource>();
    source->SetVideoFilters(filters);
    source->SetLoopCount(loops);
    EXPECT_TRUE(source->Load(name)) << name;
    return source;
}

TEST(PushSource, PicturesAndSoundCoverTheSourceWithItsTimes) {
    const std::string& file = PreviewClips::Get().audioVideo;
    const tw::test::MediaInfo facts = tw::test::InspectMedia(file);
    auto source = LoadSource(file);
    EXPECT_TRUE(source->HasVideo());
    EXPECT_TRUE(source->HasAudio());
    EXPECT_EQ(source->VideoWidth(), 160);
    EXPECT_EQ(source->VideoHeight(), 120);
    EXPECT_EQ(source->AudioChannels(), 2);
    EXPECT_EQ(source->AudioSampleRate(), 44100);
    EXPECT_NEAR(source->Duration() / 1e7, facts.durationSec, 1e-3);

    const Drained drained = DrainSource(*source);
    const tw::test::StreamInfo& video = facts.First(tw::test::StreamKind::Video);
    ASSERT_EQ(static_cast<int64_t>(drained.pictures.size()), video.decodedFrameCount);
    for (size_t i = 0; i < drained.pictures.size(); ++i) {
        const TFFSample& picture = *drained.pictures[i];
        EXPECT_NEAR(picture.Start(), i * kFrame, 1e-6) << i;
        EXPECT_NEAR(picture.Stop() - picture.Start(), kFrame, 1e-6) << i;
        EXPECT_EQ(picture.Discontinuity(), i == 0) << i;
        EXPECT_GE(picture.Stride(), 160 * 4);
        EXPECT_EQ(picture.Frame().format, AV_PIX_FMT_BGRA);
    }

    int64_t samples = 0;
    double expectedStart = drained.sound.front()->Start();
    EXPECT_NEAR(expectedStart, 0.0, 1e-3);
    for (const SamplePtr& block : drained.sound) {
        // The container keeps milliseconds.
        EXPECT_NEAR(block->Start(), expectedStart, 1e-3);
        EXPECT_EQ(block->Channels(), 2);
        EXPECT_EQ(block->Size(), block->SampleCount() * 4);
        expectedStart = block->Stop();
        samples += block->SampleCount();
    }
    EXPECT_EQ(samples, facts.First(tw::test::StreamKind::Audio).decodedSampleCount);
    EXPECT_TRUE(drained.sound.front()->Discontinuity());
}

TEST(PushSource, VariableRatePicturesKeepTheirOwnTimes) {
    auto source = LoadSource(PreviewClips::Get().variable);
    const Drained drained = DrainSource(*source);
    const size_t count = std::size(kVariableStarts);
    ASSERT_EQ(drained.pictures.size(), count);
    for (size_t i = 0; i < count; ++i) {
        const double stop = i + 1 < count ? kVariableStarts[i + 1] / 1e3
                                          : (kVariableStarts[i] + kVariableLastMs) / 1e3;
        EXPECT_NEAR(drained.pictures[i]->Start(), kVariableStarts[i] / 1e3, 1e-6) << i;
        EXPECT_NEAR(drained.pictures[i]->Stop(), stop, 1e-6) << i;
    }
}

TEST(PushSource, TwoLoopsPlayTheSourceTwiceOneDurationApart) {
    EXPECT_THROW(
        {
            try {
                TFFPushSource().SetLoopCount(0);
            } catch (const EAVError& error) {
                EXPECT_STREQ(error.what(), "Loop count must be larger than 0");
                throw;
            }
        },
        EAVError);

    const std::string& file = PreviewClips::Get().videoOnly;
    auto once = LoadSource(file);
    const size_t count = DrainSource(*once).pictures.size();
    auto twice = LoadSource(file, {}, 2);
    EXPECT_EQ(twice->Duration(), 2 * twice->FileDuration());
    EXPECT_EQ(twice->StopPosition(), twice->Duration());
    const Drained drained = DrainSource(*twice);
    ASSERT_EQ(drained.pictures.size(), 2 * count);
    const double fileSeconds = twice->FileDuration() / 1e7;
    for (size_t i = 0; i < count; ++i) {
        EXPECT_NEAR(drained.pictures[count + i]->Start(),
                    drained.pictures[i]->Start() + fileSeconds, 1e-6)
            << i;
    }
}

TEST(PushSource, SeekDropsWhatWasQueuedAndLandsOnTheTarget) {
    auto source = LoadSource(PreviewClips::Get().audioVideo);
    ASSERT_TRUE(WaitUntil([&] { return source->QueuedVideoFrames() >= kReadAhead; }));
    NextPicture(*source);

    const int64_t target = Units(1.0);
    EXPECT_FALSE(source->SetPositions(&target, kPositioningBitsMask, nullptr, kNoPositioning));
    EXPECT_FALSE(source->SetPositions(&target, 4, nullptr, kNoPositioning));
    EXPECT_FALSE(source->SetPositions(nullptr, kNoPositioning, &target, 4));
    ASSERT_TRUE(source->SetPositions(&target, kAbsolutePositioning, nullptr, kNoPositioning));
    EXPECT_EQ(source->StartPosition(), target);

    const SamplePtr picture = NextPicture(*source);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->Discontinuity());
    EXPECT_DOUBLE_EQ(picture->SegmentStart(), 1.0);
    EXPECT_TRUE(Covers(picture, 1.0));
    const SamplePtr sound = NextSound(*source);
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->Discontinuity());
    EXPECT_NEAR(sound->Start(), 1.0, 1e-3);

    // Relative to the start, then backwards well before it: no lower bound applies.
    const int64_t forward = Units(0.5);
    ASSERT_TRUE(
        source->SetPositions(&forward, kRelativePositioning | 0x100, nullptr, kNoPositioning));
    EXPECT_TRUE(Covers(NextPicture(*source), 1.5));
    const int64_t back = Units(0.2);
    ASSERT_TRUE(source->SetPositions(&back, kAbsolutePositioning, nullptr, kNoPositioning));
    EXPECT_TRUE(Covers(NextPicture(*source), 0.2));
    // Seeking where it already is shows that same picture again.
    ASSERT_TRUE(source->SetPositions(&back, kAbsolutePositioning, nullptr, kNoPositioning));
    EXPECT_TRUE(Covers(NextPicture(*source), 0.2));

    // A seek after the end brings the source back to life.
    DrainSource(*source);
    const int64_t again = Units(1.8);
    ASSERT_TRUE(source->SetPositions(&again, kAbsolutePositioning, nullptr, kNoPositioning));
    EXPECT_TRUE(Covers(NextPicture(*source), 1.8));
}

TEST(PushSource, SourcesOfOneKindAndSourcesThatCannotPlay) {
    const PreviewClips& clips = PreviewClips::Get();
    auto audio = LoadSource(clips.audioOnly);
    EXPECT_FALSE(audio->HasVideo());
    EXPECT_EQ(audio->VideoWidth(), 0);
    const Drained sound = DrainSource(*audio);
    EXPECT_TRUE(sound.pictures.empty());
    EXPECT_NEAR(sound.sound.back()->Stop(), 1.5, 0.05);

    auto video = LoadSource(clips.videoOnly);
    EXPECT_FALSE(video->HasAudio());
    const Drained pictures = DrainSource(*video);
    EXPECT_EQ(pictures.pictures.size(), 30u);
    EXPECT_TRUE(pictures.sound.empty());

    // The sound can be left out altogether.
    TFFPushSource silent;
    silent.SetAudioDisabled(true);
    ASSERT_TRUE(silent.Load(clips.audioVideo));
    EXPECT_FALSE(silent.HasAudio());
    EXPECT_EQ(silent.AudioStreamCount(), 0);
    TFFPushSource nothing;
    nothing.SetAudioDisabled(true);
    EXPECT_FALSE(nothing.Load(clips.audioOnly));

    tw::test::TempFolder folder;
    tw::test::WriteRandomFile(folder / "noise.mkv", 64 * 1024, 7);
    for (const std::string& name : {std::string(), folder / "missing.mkv", folder / "noise.mkv",
                                    std::string("stream:999999")}) {
        EXPECT_FALSE(TFFPushSource().Load(name)) << name;
    }
}

TEST(PushSource, FilterTextChangesThePicturesAndBlankTextDoesNot) {
    const std::string& file = PreviewClips::Get().videoOnly;
    auto plain = LoadSource(file);
    auto blank = LoadSource(file, "   ");
    auto negated = LoadSource(file, "negate");
    const SamplePtr a = NextPicture(*plain);
    const SamplePtr b = NextPicture(*blank);
    const SamplePtr c = NextPicture(*negated);
    ASSERT_TRUE(a && b && c);
    const auto sameRows = [](const TFFSample& x, const TFFSample& y) {
        for (int row = 0; row < x.Height(); ++row) {
            if (std::memcmp(x.Buffer() + row * x.Stride(), y.Buffer() + row * y.Stride(),
                            static_cast<size_t>(x.Width() * 4)) != 0) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(sameRows(*a, *b));
    int inverted = 0;
    for (int row = 0; row < a->Height(); ++row) {
        for (int x = 0; x < a->Width() * 4; x += 4) {
            for (int k = 0; k < 3; ++k) {
                const int offset = row * a->Stride() + x + k;
                inverted += std::abs(255 - a->Buffer()[offset] - c->Buffer()[offset]) <= 2;
            }
        }
    }
    EXPECT_GT(inverted, a->Width() * a->Height() * 3 * 95 / 100);

    // A chain the filter library refuses: loading fails, and a running source keeps its chain.
    TFFPushSource refused;
    refused.SetVideoFilters("no_such_filter");
    EXPECT_FALSE(refused.Load(file));
    try {
        plain->SetVideoFilters("no_such_filter");
        ADD_FAILURE() << "a chain that cannot be built was taken";
    } catch (const EAVError& error) {
        EXPECT_STREQ(error.what(), "Parse Graph Failed");
    }
    const int64_t start = 0;
    plain->SetPositions(&start, kAbsolutePositioning, nullptr, kNoPositioning);
    const SamplePtr again = NextPicture(*plain);
    ASSERT_TRUE(again);
    EXPECT_TRUE(sameRows(*a, *again));

    // A chain that works takes over at once.
    plain->SetVideoFilters("negate");
    plain->SetPositions(&start, kAbsolutePositioning, nullptr, kNoPositioning);
    const SamplePtr turned = NextPicture(*plain);
    ASSERT_TRUE(turned);
    EXPECT_TRUE(sameRows(*c, *turned));
}

// Each block starts where the one before it stopped (the container keeps milliseconds).
void ExpectNoGapOrRepeat(const std::vector<SamplePtr>& samples, double from) {
    for (const SamplePtr& sample : samples) {
        EXPECT_NEAR(sample->Start(), from, 1e-3);
        from = sample->Stop();
    }
}

// A stream switch while the demux thread has read ahead past all the new stream holds: the new
// stream starts where its output had been taken up to, and the other output goes on untouched.
TEST(PushSource, AnotherSoundStreamTakesOverWhereTheSoundWas) {
    auto source = LoadSource(PreviewClips::Get().twoSounds);
    ASSERT_EQ(source->AudioStreamCount(), 2);
    const SamplePtr picture = NextPicture(*source);
    const SamplePtr block = NextSound(*source);
    ASSERT_TRUE(picture && block);
    EXPECT_EQ(block->Channels(), 2);
    ASSERT_TRUE(WaitUntil([&] { return source->QueuedAudioBlocks() >= kReadAhead; }));
    source->SetAudioIndex(1);
    EXPECT_EQ(source->AudioChannels(), 1);
    const Drained rest = DrainSource(*source);
    ASSERT_FALSE(rest.sound.empty());
    for (const SamplePtr& mono : rest.sound) {
        EXPECT_EQ(mono->Channels(), 1);
        EXPECT_EQ(mono->Size(), mono->SampleCount() * 2);
    }
    ExpectNoGapOrRepeat(rest.sound, block->Stop());
    EXPECT_NEAR(rest.sound.back()->Stop(), 2.0, 0.05);
    ExpectNoGapOrRepeat(rest.pictures, picture->Stop());
}

TEST(PushSource, AnotherPictureStreamTakesOverWherePicturesWere) {
    auto source = LoadSource(PreviewClips::Get().twoPictures);
    ASSERT_EQ(source->VideoStreamCount(), 2);
    const SamplePtr first = NextPicture(*source);
    const SamplePtr block = NextSound(*source);
    ASSERT_TRUE(first && block);
    EXPECT_EQ(first->Width(), 160);
    // Read ahead past the end of the other stream's 1.2 s.
    ASSERT_TRUE(WaitUntil([&] { return source->QueuedVideoFrames() >= kReadAhead; }));
    source->SetVideoIndex(1);
    EXPECT_EQ(source->VideoWidth(), 96);
    EXPECT_EQ(source->VideoHeight(), 64);
    // From here on every picture is the other stream's, from the next one on to its end, while
    // the sound plays on to its own end.
    const Drained rest = DrainSource(*source);
    ASSERT_FALSE(rest.pictures.empty());
    for (const SamplePtr& picture : rest.pictures) {
        EXPECT_EQ(picture->Width(), 96);
        EXPECT_EQ(picture->Height(), 64);
        EXPECT_GE(picture->Stride(), 96 * 4);
    }
    ExpectNoGapOrRepeat(rest.pictures, first->Stop());
    EXPECT_NEAR(rest.pictures.back()->Stop(), 1.2, 1e-3);
    ExpectNoGapOrRepeat(rest.sound, block->Stop());
    EXPECT_NEAR(rest.sound.back()->Stop(), 2.0, 0.05);
}

TEST(PushSource, ASidewaysPhoneRecordingIsTurnedUprightAsItConverts) {
    tw::test::TempFolder folder;
    tw::test::ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 0.4;
    clip.audioCodec.clear();
    clip.videoMetadata = {{"rotate", "90"}};
    const std::string phone = folder / "phone.mp4";
    tw::test::GenerateClip(clip, phone);
    auto source = LoadSource(phone);
    EXPECT_EQ(source->VideoWidth(), 120);
    EXPECT_EQ(source->VideoHeight(), 160);
    const SamplePtr picture = NextPicture(*source);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->Width(), 120);
    ASSERT_EQ(picture->Height(), 160);
    // Turned clockwise: the recording's top-left corner is at the top right.
    const tw::test::RgbFrame recorded = tw::test::DecodeVideoFrameRgb(phone, 0);
    const uint8_t* corner = recorded.Pixel(4, 4);
    const uint8_t* shown = picture->Buffer() + 4 * picture->Stride() + (picture->Width() - 5) * 4;
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(shown[2 - c], corner[c], 40) << c;  // BGRA against RGB
    }
}

TEST(PushSource, BitmapSubtitlesAreDrawnWhileTheyAreShown) {
    const PreviewClips& clips = PreviewClips::Get();
    auto plain = LoadSource(clips.videoOnly);
    auto subtitled = LoadSource(clips.subtitled);
    EXPECT_TRUE(subtitled->HasSubtitle());
    EXPECT_EQ(subtitled->SubtitleStreamCount(), 1);
    // Pictures are handed out with the subtitles read so far, as playing ahead of time has them;
    // here the whole clip is read first.
    ASSERT_TRUE(WaitUntil([&] { return subtitled->QueuedVideoFrames() == 30; }));
    const Drained without = DrainSource(*plain);
    const Drained with = DrainSource(*subtitled);
    ASSERT_EQ(with.pictures.size(), without.pictures.size());
    int drawn = 0;
    for (size_t i = 0; i < with.pictures.size(); ++i) {
        const TFFSample& picture = *with.pictures[i];
        bool shown = false;
        for (const BitmapCue& cue : kSubtitleCues) {
            shown = shown || (cue.start <= picture.Start() + 1e-6 && picture.Start() < cue.end);
        }
        // Inside the box the picture turns red; outside it stays as it was.
        const uint8_t* inside = picture.Buffer() + 20 * picture.Stride() + 30 * 4;
        const uint8_t* outside = picture.Buffer() + 60 * picture.Stride() + 100 * 4;
        const uint8_t* original = without.pictures[i]->Buffer() + 60 * picture.Stride() + 100 * 4;
        EXPECT_EQ(std::memcmp(outside, original, 3), 0) << i;
        const bool red = inside[2] > 200 && inside[1] < 60 && inside[0] < 60;
        EXPECT_EQ(red, shown) << "picture at " << picture.Start();
        drawn += red;
    }
    EXPECT_EQ(drawn, 13);  // 0.20 to 0.48 and 0.80 to 0.96
}

TEST(PushSource, ADiscChapterPlaysOnlyItsOwnPart) {
    tw::test::TempFolder folder;
    const tw::test::TestDisc disc = tw::test::AuthorShortChapterDisc(folder.Path());
    ASSERT_EQ(disc.error, "");
    // The second of four 3 s chapters, whose blocks also carry sound of the chapters around it.
    auto source = LoadSource(dvd::OpenDvdTitleStream(disc.root.string(), 1, 2, 2, 1));
    EXPECT_NEAR(source->Duration() / 1e7, tw::test::kShortChapterSeconds, 1e-3);
    const Drained drained = DrainSource(*source);
    ASSERT_EQ(drained.pictures.size(), 75u);
    EXPECT_NEAR(drained.pictures.front()->Start(), 0.0, 1e-3);
    EXPECT_NEAR(drained.pictures.back()->Stop(), 3.0, 1e-3);
    // Every whole second of the title starts with a white picture: the chapter's first is one.
    const auto white = [](const TFFSample& picture) {
        const uint8_t* pixel = picture.Buffer() + 288 * picture.Stride() + 360 * 4;
        return pixel[0] > 200 && pixel[1] > 200 && pixel[2] > 200;
    };
    EXPECT_TRUE(white(*drained.pictures[0]));
    EXPECT_FALSE(white(*drained.pictures[1]));
    ASSERT_FALSE(drained.sound.empty());
    EXPECT_NEAR(drained.sound.front()->Start(), 0.0, 1e-3);
    EXPECT_NEAR(drained.sound.back()->Stop(), 3.0, 1e-3);
}

// A file handed over as a stream object, as a DVD title is.
class FileStream : public media::TStream {
public:
    explicit FileStream(const std::string& path) : file_(path, std::ios::binary) {
        file_.seekg(0, std::ios::end);
        size_ = file_.tellg();
        file_.seekg(0);
    }
    int64_t Read(void* buffer, int64_t count) override {
        file_.read(static_cast<char*>(buffer), count);
        const int64_t got = file_.gcount();
        file_.clear();
        return got;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        const auto way = origin == SeekOrigin::Beginning
                             ? std::ios::beg
                             : (origin == SeekOrigin::Current ? std::ios::cur : std::ios::end);
        file_.seekg(offset, way);
        return file_ ? static_cast<int64_t>(file_.tellg()) : -1;
    }
    int64_t GetSize() override { return size_; }

private:
    std::ifstream file_;
    int64_t size_ = 0;
};

TEST(PushSource, ClosingWithFullQueuesOrInCyclesLeavesNothingBehind) {
    const std::string& file = PreviewClips::Get().audioVideo;
    const int users = media::LibraryUseCount();
    for (int cycle = 0; cycle < 10; ++cycle) {
        const std::string name =
            cycle % 2 ? media::StreamUrl(media::RegisterStream(std::make_unique<FileStream>(file)))
                      : file;
        auto source = LoadSource(name);
        EXPECT_EQ(media::LibraryUseCount(), users + 1);
        if (cycle % 3 == 0) {
            NextPicture(*source);
        }
        if (cycle == 9) {
            // The demux thread rests on full queues; closing must wake it.
            ASSERT_TRUE(WaitUntil([&] {
                return source->QueuedVideoFrames() >= kReadAhead &&
                       source->QueuedAudioBlocks() >= kReadAhead;
            }));
            auto closed = std::async(std::launch::async, [&] { source.reset(); });
            EXPECT_EQ(closed.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        }
    }
    EXPECT_EQ(media::LibraryUseCount(), users);
    EXPECT_EQ(media::RegisteredStreamCount(), 0u);
}

}  // namespace
}  // namespace tw::preview::test
