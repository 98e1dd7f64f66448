// The DVD title input on a disc authored for the suite: the title scan, and chapter ranges read
// as byte streams, checked against the title set's own blocks on the disc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/dvd/test_disc.h"
#include "dvd/dvd_stream.h"
#include "dvd/dvd_title_scan.h"
#include "media/av_ptr.h"
#include "media/stream_registry.h"
#include "platform/message_service.h"
#include "util/av_error.h"

namespace tw::dvd {
namespace {

using test::FileBytes;

class DvdInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<test::TempFolder>();
        disc_ = test::AuthorTestDisc(folder_->Path());
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_EQ(disc_.error, "");
        titles_ = ScanDiscTitles(disc_.root.string());
        ASSERT_EQ(titles_.size(), 2u);
    }

    // The title set's bytes of block range [first, end).
    static std::string DiscBlocks(uint32_t first, uint32_t end) {
        return FileBytes(test::TitleSetVob(disc_), int64_t{first} * kDvdBlockSize,
                         int64_t{end - first} * kDvdBlockSize);
    }

    static std::string Read(TDvdStream& stream, int64_t count) {
        std::string bytes(static_cast<size_t>(count), '\0');
        const int64_t got = stream.Read(bytes.data(), count);
        EXPECT_GE(got, 0);
        bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
        return bytes;
    }

    // Reads to the end in pieces; the last piece may be short, every read after it gives 0.
    static std::string ReadToEnd(TDvdStream& stream, int64_t piece) {
        std::string all;
        for (;;) {
            const std::string bytes = Read(stream, piece);
            all += bytes;
            if (static_cast<int64_t>(bytes.size()) < piece) {
                break;
            }
        }
        EXPECT_EQ(Read(stream, piece).size(), 0u);
        EXPECT_EQ(Read(stream, 1).size(), 0u);
        return all;
    }

    static std::unique_ptr<test::TempFolder> folder_;
    static test::TestDisc disc_;
    std::vector<DvdTitle> titles_;
};

std::unique_ptr<test::TempFolder> DvdInput::folder_;
test::TestDisc DvdInput::disc_;

TEST_F(DvdInput, ScanListsTitlesWithDurationsChaptersAndAngles) {
    const DvdTitle& first = titles_[0];
    EXPECT_EQ(first.number, 1);
    EXPECT_NEAR(first.DurationSeconds(), test::kTitle1Seconds, 0.05);
    EXPECT_EQ(first.hours * 3600 + first.minutes * 60 + first.seconds, 15);
    ASSERT_EQ(first.chapters.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(first.chapters[i].number, static_cast<int>(i + 1));
        EXPECT_NEAR(first.chapters[i].durationTicks / 90000.0, test::kChapterSeconds[i], 0.05);
    }
    EXPECT_EQ(first.angleCount, 1);
    const DvdTitle& second = titles_[1];
    EXPECT_EQ(second.number, 2);
    EXPECT_NEAR(second.DurationSeconds(), test::kTitle2Seconds, 0.05);
    EXPECT_EQ(second.chapters.size(), 1u);
    EXPECT_EQ(second.angleCount, 1);

    std::vector<DvdTitle> titles;
    TStringList choices;
    ASSERT_TRUE(ScanDvdTitles(disc_.root.string(), titles, choices));
    EXPECT_EQ(choices, (TStringList{"1(00:00:15)", "2(00:00:04)"}));

    // The VIDEO_TS folder itself opens the same disc.
    ASSERT_TRUE(ScanDvdTitles(disc_.videoTs.string() + "/", titles, choices));
    EXPECT_EQ(choices, (TStringList{"1(00:00:15)", "2(00:00:04)"}));
    EXPECT_EQ(titles[0].path, disc_.videoTs.string() + "/");
}

TEST_F(DvdInput, ScanReadsAnIsoImageOfTheDisc) {
    if (std::system("command -v genisoimage > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "genisoimage is not installed";
    }
    const std::string iso = *folder_ / "disc.iso";
    const std::string command = "genisoimage -quiet -dvd-video -o '" + iso + "' '" +
                                disc_.root.string() + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<DvdTitle> titles;
    TStringList choices;
    ASSERT_TRUE(ScanDvdTitles(iso, titles, choices));
    EXPECT_EQ(choices, (TStringList{"1(00:00:15)", "2(00:00:04)"}));
    TDvdStream fromImage(titles[0], 2, 2, 1);
    TDvdStream fromFolder(titles_[0], 2, 2, 1);
    EXPECT_EQ(fromImage.GetSize(), fromFolder.GetSize());
    EXPECT_TRUE(Read(fromImage, 100000) == Read(fromFolder, 100000));
}

TEST_F(DvdInput, ChoiceTextPadsTheDuration) {
    DvdTitle title;
    title.number = 12;
    title.hours = 1;
    title.minutes = 2;
    title.seconds = 3;
    EXPECT_EQ(TitleChoiceText(title), "12(01:02:03)");
}

TEST_F(DvdInput, UnreadableDiscShowsCanNotOpenDvdAndKeepsTheList) {
    platform::RecordingMessageService recorder;
    platform::ScopedMessageService install(recorder);
    std::vector<DvdTitle> titles = titles_;
    TStringList choices = {"1(00:00:15)"};
    for (const std::string& path :
         {(folder_->Path() / "missing").string(), (folder_->Path() / "title1.mpg").string()}) {
        EXPECT_FALSE(ScanDvdTitles(path, titles, choices)) << path;
    }
    EXPECT_EQ(recorder.Errors(),
              (std::vector<std::string>{"Can not open DVD", "Can not open DVD"}));
    EXPECT_EQ(titles.size(), 2u);
    EXPECT_EQ(choices, TStringList{"1(00:00:15)"});
}

TEST_F(DvdInput, WholeTitleIsTheTitleSetBlocksAndEndsWithAShortReadThenNothing) {
    TDvdStream stream(titles_[0], 3, 1, 1);
    const int64_t size = stream.GetSize();
    EXPECT_EQ(stream.FirstBlock(), 0u);
    EXPECT_EQ(size, int64_t{stream.EndBlock()} * kDvdBlockSize);
    const std::string all = ReadToEnd(stream, 10000);
    EXPECT_EQ(static_cast<int64_t>(all.size()), size);
    EXPECT_NE(size % 10000, 0);  // so the last read above was a short one
    EXPECT_TRUE(all == DiscBlocks(0, stream.EndBlock()));
}

TEST_F(DvdInput, ChapterRangesTileTheTitleExactly) {
    TDvdStream whole(titles_[0], 3, 1, 1);
    TDvdStream one(titles_[0], 1, 1, 1);
    TDvdStream two(titles_[0], 2, 2, 1);
    TDvdStream twoToThree(titles_[0], 3, 2, 1);
    TDvdStream three(titles_[0], 3, 3, 1);
    EXPECT_EQ(one.FirstBlock(), 0u);
    EXPECT_EQ(one.EndBlock(), two.FirstBlock());
    EXPECT_EQ(two.EndBlock(), three.FirstBlock());
    EXPECT_EQ(twoToThree.FirstBlock(), two.FirstBlock());
    // A range ending at the title's last chapter ends at the title's length.
    EXPECT_EQ(twoToThree.EndBlock(), whole.EndBlock());
    EXPECT_EQ(three.EndBlock(), whole.EndBlock());
    EXPECT_EQ(one.GetSize() + two.GetSize() + three.GetSize(), whole.GetSize());
    // Chapter lengths follow their durations (6, 6 and 3 s at a steady rate).
    EXPECT_NEAR(static_cast<double>(one.GetSize()) / whole.GetSize(), 6.0 / 15, 0.05);
    EXPECT_NEAR(static_cast<double>(three.GetSize()) / whole.GetSize(), 3.0 / 15, 0.05);

    // A range in the middle of the title holds its own blocks and not one more.
    const std::string middle = ReadToEnd(two, 65536);
    EXPECT_EQ(static_cast<int64_t>(middle.size()), two.GetSize());
    EXPECT_TRUE(middle == DiscBlocks(two.FirstBlock(), two.EndBlock()));
}

TEST_F(DvdInput, FirstReadDeliversTheStartOfTheRange) {
    TDvdStream stream(titles_[0], 3, 2, 1);
    const std::string first = Read(stream, 10000);
    EXPECT_EQ(first.size(), 10000u);
    EXPECT_TRUE(first == DiscBlocks(stream.FirstBlock(), stream.FirstBlock() + 5).substr(0, 10000));
}

TEST_F(DvdInput, SeekLandsOnTheExactBlockAndDropsTheOffsetWithin) {
    TDvdStream stream(titles_[0], 3, 2, 1);
    const int64_t size = stream.GetSize();
    const std::string expected = DiscBlocks(stream.FirstBlock(), stream.EndBlock());
    ASSERT_EQ(static_cast<int64_t>(expected.size()), size);

    // Block 2 of the range, 904 bytes into it.
    EXPECT_EQ(stream.Seek(5000, TDvdStream::SeekOrigin::Beginning), 5000);
    EXPECT_TRUE(Read(stream, 3000) == expected.substr(5000, 3000));

    // Forward and backward, across the chapter boundary, on and off block starts.
    const uint32_t chapterThreeBlock = TDvdStream(titles_[0], 3, 3, 1).FirstBlock();
    const int64_t chapterThree = int64_t{chapterThreeBlock - stream.FirstBlock()} * kDvdBlockSize;
    for (const int64_t offset : {int64_t{1234567}, chapterThree - 100, chapterThree,
                                 chapterThree + 4096, size - 3000, int64_t{2048 * 7}, int64_t{1}}) {
        ASSERT_EQ(stream.Seek(offset, TDvdStream::SeekOrigin::Beginning), offset);
        EXPECT_TRUE(Read(stream, 2500) == expected.substr(static_cast<size_t>(offset), 2500))
            << "at " << offset;
    }

    // After the range's last chapter was read, a block-aligned seek back reads on normally.
    ASSERT_EQ(stream.Seek(size - 2048, TDvdStream::SeekOrigin::Beginning), size - 2048);
    EXPECT_EQ(Read(stream, 4096).size(), 2048u);
    ASSERT_EQ(stream.Seek(2048 * 10, TDvdStream::SeekOrigin::Beginning), 2048 * 10);
    const std::string rest = ReadToEnd(stream, 100000);
    EXPECT_TRUE(rest == expected.substr(2048 * 10));

    // Back to the start.
    ASSERT_EQ(stream.Seek(0, TDvdStream::SeekOrigin::Beginning), 0);
    EXPECT_TRUE(Read(stream, 10000) == expected.substr(0, 10000));
}

TEST_F(DvdInput, ReadingToTheTitleEndThenSeekingBackReadsTheSameBytes) {
    // The format library reads a stream to its end while probing and then seeks back to 0.
    for (const DvdTitle& title : titles_) {
        const int last = static_cast<int>(title.chapters.size());
        TDvdStream stream(title, last, 1, 1);
        const int64_t size = stream.GetSize();
        const std::string first = ReadToEnd(stream, 32768);
        EXPECT_EQ(static_cast<int64_t>(first.size()), size) << "title " << title.number;
        // Title 2's blocks follow title 1's in the title set.
        const uint32_t base = title.number == 1 ? 0 : TDvdStream(titles_[0], 3, 1, 1).EndBlock();
        EXPECT_TRUE(first == DiscBlocks(base + stream.FirstBlock(), base + stream.EndBlock()));
        ASSERT_EQ(stream.Seek(0, TDvdStream::SeekOrigin::Beginning), 0);
        EXPECT_TRUE(ReadToEnd(stream, 32768) == first) << "title " << title.number;
        ASSERT_EQ(stream.Seek(size - 5000, TDvdStream::SeekOrigin::Beginning), size - 5000);
        EXPECT_TRUE(ReadToEnd(stream, 32768) == first.substr(static_cast<size_t>(size - 5000)));
        ASSERT_EQ(stream.Seek(4096, TDvdStream::SeekOrigin::Beginning), 4096);
        EXPECT_TRUE(Read(stream, 4096) == first.substr(4096, 4096));
    }
}

TEST_F(DvdInput, SeekPastTheSizeIsClippedAndOtherOriginsAreRefused) {
    TDvdStream stream(titles_[0], 2, 2, 1);
    const int64_t size = stream.GetSize();
    EXPECT_EQ(stream.Seek(size + 123456, TDvdStream::SeekOrigin::Beginning), size);
    EXPECT_EQ(Read(stream, 10000).size(), 0u);
    EXPECT_EQ(stream.Seek(size, TDvdStream::SeekOrigin::Beginning), size);
    EXPECT_EQ(Read(stream, 10000).size(), 0u);
    EXPECT_EQ(stream.Seek(0, TDvdStream::SeekOrigin::Current), -1);
    EXPECT_EQ(stream.Seek(0, TDvdStream::SeekOrigin::End), -1);
    EXPECT_EQ(stream.Seek(-1, TDvdStream::SeekOrigin::Beginning), -1);
    ASSERT_EQ(stream.Seek(0, TDvdStream::SeekOrigin::Beginning), 0);
    EXPECT_EQ(Read(stream, 10000).size(), 10000u);

    // The last chapter ends at the title's end: seeking to the very end there is no error.
    TDvdStream last(titles_[0], 3, 3, 1);
    const int64_t lastSize = last.GetSize();
    EXPECT_EQ(last.Seek(lastSize, TDvdStream::SeekOrigin::Beginning), lastSize);
    EXPECT_EQ(Read(last, 10).size(), 0u);
}

TEST_F(DvdInput, SeekBeforeTheSizeWasAskedRestartsTheRange) {
    TDvdStream stream(titles_[0], 3, 2, 1);
    const std::string start = DiscBlocks(stream.FirstBlock(), stream.FirstBlock() + 5);
    Read(stream, 7000);
    // The size is cached by GetSize only: until then every seek is clipped to 0.
    EXPECT_EQ(stream.Seek(5000, TDvdStream::SeekOrigin::Beginning), 0);
    EXPECT_TRUE(Read(stream, 10000) == start.substr(0, 10000));
}

TEST_F(DvdInput, RangesAndDiscsTheTitleDoesNotHaveAreRefused) {
    for (const auto& [first, last] : {std::pair{0, 1}, {3, 2}, {1, 4}, {4, 4}}) {
        EXPECT_THROW(TDvdStream(titles_[0], last, first, 1), EAVError) << first << "-" << last;
    }
    DvdTitle gone = titles_[0];
    gone.path = (folder_->Path() / "no-disc").string();
    try {
        TDvdStream stream(gone, 1, 1, 1);
        FAIL();
    } catch (const EAVError& error) {
        EXPECT_STREQ(error.what(), "Can not open title");
    }
    EXPECT_THROW(OpenDvdTitleStream(disc_.root.string(), 3, 1, 0, 1), EAVError);
    EXPECT_THROW(OpenDvdTitleStream(disc_.root.string(), 1, 1, 0, 2), EAVError);
    try {
        OpenDvdTitleStream(gone.path, 1, 1, 0, 1);
        FAIL();
    } catch (const EAVError& error) {
        EXPECT_STREQ(error.what(), "Can not open DVD");
    }
}

TEST_F(DvdInput, FormatLibraryDemuxesChaptersTwoToThreeThroughTheirUrl) {
    const size_t before = media::RegisteredStreamCount();
    const std::string url = OpenDvdTitleStream(disc_.root.string(), 1, 2, 0, 1);
    ASSERT_TRUE(media::ParseStreamUrl(url));
    EXPECT_EQ(media::RegisteredStreamCount(), before + 1);
    media::StreamInput input = media::OpenStreamUrl(url + ".vob");
    EXPECT_EQ(media::RegisteredStreamCount(), before);

    AVFormatContext* raw = avformat_alloc_context();
    ASSERT_NE(raw, nullptr);
    raw->pb = input.IoContext();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    ASSERT_EQ(avformat_open_input(&raw, url.c_str(), nullptr, nullptr), 0);
    media::InputFormatPtr context(raw);
    ASSERT_GE(avformat_find_stream_info(context.get(), nullptr), 0);
    int video = -1;
    int audio = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* par = context->streams[i]->codecpar;
        if (par->codec_id == AV_CODEC_ID_MPEG2VIDEO) {
            video = static_cast<int>(i);
        } else if (par->codec_id == AV_CODEC_ID_AC3) {
            audio = static_cast<int>(i);
        }
    }
    ASSERT_GE(video, 0);
    ASSERT_GE(audio, 0);
    media::PacketPtr packet = media::MakePacket();
    int64_t frames = 0;
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        frames += packet->stream_index == video;
        av_packet_unref(packet.get());
    }
    // Chapters 2 and 3: 9 s at 25 frames a second.
    EXPECT_NEAR(static_cast<double>(frames), 9 * 25, 2);
}

}  // namespace
}  // namespace tw::dvd
