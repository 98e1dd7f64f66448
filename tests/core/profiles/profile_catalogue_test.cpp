#include "profiles/profile_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/convert_options.h"
#include "platform/message_service.h"
#include "profiles/custom_audio_profile.h"
#include "profiles/target_profiles.h"
#include "support/scoped_env.h"
#include "util/av_error.h"
#include "util/ini_file.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Descriptions(const std::vector<TAVProfile*>& profiles) {
    std::vector<std::string> result;
    for (const TAVProfile* profile : profiles) {
        result.push_back(profile->Description());
    }
    return result;
}

std::vector<std::string> Descriptions(const TAVProfileList& list) {
    std::vector<std::string> result;
    for (int i = 0; i < list.Count(); ++i) {
        result.push_back(list.Items(i).Description());
    }
    return result;
}

TEST(Catalogue, HoldsTheProfilesInCatalogueOrder) {
    auto list = CreateBuiltInCatalogue();
    EXPECT_EQ(list->Name(), "profileList");
    ASSERT_EQ(list->Count(), 56);
    const std::vector<std::string> expected = {"VCD",
                                               "DV",
                                               "DV50",
                                               "DVD",
                                               "SVCD",
                                               "Image Sequence Profile",
                                               "AAC Audio",
                                               "MP3 Audio",
                                               "Apple TV H264 Video(320x240)",
                                               "Apple TV H264 video(640x480)",
                                               "Apple TV H264 video(1280x720)",
                                               "Apple TV MPEG-4 high quality video(640x480)",
                                               "Apple TV MPEG-4 video(640x480)",
                                               "Apple TV MPEG-4 low quality video(640x480)",
                                               "Zune MPEG4 Video(320x240)",
                                               "Zune H264 Video(320x240)",
                                               "Zune Windows Media WMV(320x240)",
                                               "Dell Axim X51 Video",
                                               "Dell Axim X51v Video",
                                               "General Pocket PC Video",
                                               "General Pocket PC Video(Low Quality)",
                                               "HP iPAQ hw6500",
                                               "HP iPAQ hx2000/rx3000/rx1900",
                                               "HP iPAQ hx4700",
                                               "PS3 1080 HD Video",
                                               "PS3 720p Video",
                                               "PS3 480p Video",
                                               "PSP MPEG4 Video",
                                               "PSP AVC Video",
                                               "PSP 480p Video",
                                               "IPhone H264 Video",
                                               "IPhone H264 Television Video",
                                               "IPhone MPEG4 Video",
                                               "IPhone MPEG4 Television Video",
                                               "IPhone MPEG4 Wide Screen Video",
                                               "IPod 320x240 Video",
                                               "IPod 320x240 High Quality Video",
                                               "IPod 320x240 Low Quality Video",
                                               "3GPP",
                                               "AC3 Dolby Audio",
                                               "3GPP2",
                                               "3GPP2 High Quality",
                                               "IPad H264 Video",
                                               "IPad H264 Hiqh Quality",
                                               "Xbox360 HD H264 Video",
                                               "Xbox360 MCE HD MPEG2 Video",
                                               "Matroska Video",
                                               "DVD MPEG TS(PAL)",
                                               "DVD MPEG2 PS(NTSC)",
                                               "Flash Video",
                                               "Apple Quicktime Video",
                                               "JPEG Sequence",
                                               "GIF Sequence",
                                               "PNG Sequence",
                                               "BMP Sequence",
                                               "TIFF Sequence"};
    EXPECT_EQ(Descriptions(*list), expected);
    EXPECT_EQ(list->Items(0).Name(), "pfVcd");
    EXPECT_EQ(list->Items(3).Name(), "pfDvd_old");
    EXPECT_EQ(list->Items(55).Name(), "pfTiff");
}

TEST(Catalogue, CategoriesInOrderEachOfferingProfiles) {
    auto list = CreateBuiltInCatalogue();
    const TStringList expected = {"Video", "Audio",          "Images",  "IPad",   "IPhone",
                                  "IPod",  "Zune",           "PSP",     "Mobile", "PS3",
                                  "Xbox",  "Windows Mobile", "Apple TV"};
    EXPECT_EQ(list->Categories(), expected);
    int listed = 0;
    for (const std::string& category : expected) {
        const auto profiles = list->ProfilesInCategory(category);
        EXPECT_FALSE(profiles.empty()) << category;
        listed += static_cast<int>(profiles.size());
    }
    // Everything but the five standards and the plain image profile is offered somewhere.
    EXPECT_EQ(listed, 50);
    EXPECT_EQ(Descriptions(list->ProfilesInCategory("Audio")),
              (std::vector<std::string>{"AAC Audio", "MP3 Audio", "AC3 Dolby Audio"}));
    EXPECT_EQ(Descriptions(list->ProfilesInCategory("Xbox")),
              (std::vector<std::string>{"Xbox360 HD H264 Video", "Xbox360 MCE HD MPEG2 Video"}));
    for (const char* hidden : {"VCD", "DV", "DV50", "DVD", "SVCD", "Image Sequence Profile"}) {
        EXPECT_TRUE(list->FindByDescription(hidden)->Category().empty()) << hidden;
    }
}

TEST(Catalogue, ProfilesCarryTheirValues) {
    auto list = CreateBuiltInCatalogue();
    const auto& phone =
        dynamic_cast<const TAVCustomVideoProfile&>(*list->FindByDescription("IPhone MPEG4 Video"));
    EXPECT_EQ(phone.Format(), TCustomAVFormat::F_MP4);
    EXPECT_EQ(phone.VideoEncoder(), TCustomVideoEncoder::MPEG4);
    EXPECT_EQ(phone.FrameSize(), TAVFrameSize::fsIPhone);
    EXPECT_EQ(phone.FrameAspectRatio(), TAVAspectRatio::AR4_3);
    EXPECT_EQ(phone.Options(),
              (TStringList{"maxrate=1000000", "qmin=3", "qmax=5", "bufsize=4096k", "g=300"}));
    const auto& mobile =
        dynamic_cast<const TAVCustomVideoProfile&>(*list->FindByDescription("3GPP"));
    EXPECT_EQ(mobile.AudioEncoder(), TCustomAudioEncoder::AMR_NB);
    EXPECT_EQ(mobile.AudioChannels(), TCustomAudioChannels::mono1);
    EXPECT_EQ(mobile.AudioBitrate(), 12.2);
    EXPECT_EQ(mobile.FrameRate(), TCustomFrameRate::rOriginal);
    const auto& xbox = dynamic_cast<const TAVCustomVideoProfile&>(
        *list->FindByDescription("Xbox360 MCE HD MPEG2 Video"));
    EXPECT_EQ(xbox.FrameSize(), TAVFrameSize::fsMceHd);
    EXPECT_EQ(xbox.FrameRate(), TCustomFrameRate::r30);
    const auto& jpeg =
        dynamic_cast<const TAVImageProfile&>(*list->FindByDescription("JPEG Sequence"));
    EXPECT_EQ(jpeg.Extension(), "1.jpg");
    EXPECT_EQ(jpeg.ImageType(), TAVImageType::jpeg);
    EXPECT_EQ(list->FindByDescription("Image Sequence Profile")->Extension(), ".bmp");
    for (int i = 0; i < list->Count(); ++i) {
        if (const auto* target = dynamic_cast<const TAVTargetProfile*>(&list->Items(i))) {
            EXPECT_EQ(target->Target(), TAVTarget::pal);
        }
        if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&list->Items(i))) {
            EXPECT_EQ(video->Pass(), 0);
        }
    }
}

TEST(Catalogue, EveryProfileAppliesToFreshOptionsWithoutAMessage) {
    platform::RecordingMessageService messages;
    platform::ScopedMessageService scope(messages);
    auto list = CreateBuiltInCatalogue();
    for (int i = 0; i < list->Count(); ++i) {
        TAVConvertOptions options;
        EXPECT_TRUE(list->Items(i).ApplyTo(options)) << i;
        if (dynamic_cast<const TAVCustomVideoProfile*>(&list->Items(i))) {
            EXPECT_FALSE(options.VideoOptions().VideoDisable()) << i;
            EXPECT_FALSE(options.VideoOptions().EncoderVideoCodecName().empty()) << i;
            EXPECT_EQ(options.VideoOptions().Pass(), 0) << i;
        }
    }
    EXPECT_TRUE(messages.Messages().empty());

    TAVConvertOptions ipod;
    list->FindByDescription("IPod 320x240 Video")->ApplyTo(ipod);
    EXPECT_EQ(ipod.OutputFormat(), "ipod");
    EXPECT_EQ(ipod.VideoOptions().EncoderVideoCodecName(), "libxvid");
    EXPECT_EQ(ipod.VideoOptions().FrameWidth(), 320);
    EXPECT_EQ(ipod.VideoOptions().FrameHeight(), 240);
    EXPECT_EQ(ipod.VideoOptions().Bitrate(), 768000);
    EXPECT_EQ(ipod.VideoOptions().FrameRate().num(), 30000);
    EXPECT_EQ(ipod.VideoOptions().FrameAspectRatio(), 4.0f / 3.0f);
    EXPECT_EQ(ipod.AudioOptions().EncoderAudioCodecName(), "libfaac");
    EXPECT_EQ(ipod.AudioOptions().Bitrate(), 128000);
    EXPECT_EQ(ipod.AudioOptions().AudioSampleRate(), 48000);
    EXPECT_EQ(ipod.AudioOptions().AudioChannels(), 2);
    EXPECT_TRUE(ipod.CodecOptions().empty());

    TAVConvertOptions mobile;
    list->FindByDescription("3GPP")->ApplyTo(mobile);
    EXPECT_EQ(mobile.ThreadCount(), 1);
    EXPECT_EQ(mobile.AudioOptions().Bitrate(), 12200);
    EXPECT_EQ(mobile.AudioOptions().AudioChannels(), 1);
    EXPECT_FALSE(mobile.VideoOptions().FrameRateChosen());
}

class UserProfiles : public ::testing::Test {
protected:
    UserProfiles() { fs::create_directories(folder_ / "TidewellSoft"); }

    std::string File() const {
        return UserProfileFileName(folder_ / "TidewellSoft/VideoConverter");
    }

    test::TempFolder folder_;
};

TEST_F(UserProfiles, FileLiesBesideTheConfigurationFolder) {
    EXPECT_EQ(UserProfileFileName("/c/TidewellSoft/VideoConverter").string(),
              "/c/TidewellSoft/VideoConverterProfiles.ini");
}

TEST_F(UserProfiles, WithoutAFileTheCatalogueStays) {
    auto list = CreateBuiltInCatalogue();
    EXPECT_FALSE(LoadUserProfiles(*list, File()));
    EXPECT_EQ(list->Count(), 56);
}

TEST_F(UserProfiles, SaveAndLoadGiveTheSameAudioAndVideoProfilesAfterTheOthers) {
    fs::remove_all(folder_ / "TidewellSoft");  // the first save makes the folder
    auto saved = CreateBuiltInCatalogue();
    auto& mine = saved->Add(std::make_unique<TAVCustomAudioProfile>());
    mine.SetDescription("New Audio Profile");
    mine.SetCategory("Audio");
    mine.SetOptions({"a b=1", "c=2"});
    // Moved ahead of the target profiles: the file keeps list order, the load puts it after.
    mine.SetIndex(0);
    SaveUserProfiles(*saved, File());

    auto loaded = CreateBuiltInCatalogue();
    ASSERT_TRUE(LoadUserProfiles(*loaded, File()));
    ASSERT_EQ(loaded->Count(), 57);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(loaded->Items(i).Description(), saved->Items(i + 1).Description());
    }
    for (int i = 6; i < 11; ++i) {
        EXPECT_NE(dynamic_cast<const TAVImageProfile*>(&loaded->Items(i)), nullptr);
    }
    // The custom profiles follow in file order: the saved list's custom profiles in order.
    std::vector<const TAVCustomAudioProfile*> expected;
    for (int i = 0; i < saved->Count(); ++i) {
        if (auto* p = dynamic_cast<const TAVCustomAudioProfile*>(&saved->Items(i))) {
            expected.push_back(p);
        }
    }
    ASSERT_EQ(expected.size(), 46u);
    for (size_t k = 0; k < expected.size(); ++k) {
        const TAVProfile& got = loaded->Items(static_cast<int>(11 + k));
        const auto* a = expected[k];
        const auto* b = dynamic_cast<const TAVCustomAudioProfile*>(&got);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(a->ClassName(), std::string(b->ClassName()));
        EXPECT_EQ(b->Description(), a->Description());
        EXPECT_EQ(b->Extension(), a->Extension());
        EXPECT_EQ(b->Category(), a->Category());
        EXPECT_EQ(b->SampleRate(), a->SampleRate());
        EXPECT_EQ(b->AudioEncoder(), a->AudioEncoder());
        EXPECT_EQ(b->AudioChannels(), a->AudioChannels());
        EXPECT_EQ(b->AudioBitrate(), a->AudioBitrate());
        EXPECT_EQ(b->Format(), a->Format());
        EXPECT_EQ(b->Options(), a->Options());
        if (const auto* av = dynamic_cast<const TAVCustomVideoProfile*>(a)) {
            const auto& bv = dynamic_cast<const TAVCustomVideoProfile&>(got);
            EXPECT_EQ(bv.FrameWidth(), av->FrameWidth());
            EXPECT_EQ(bv.FrameHeight(), av->FrameHeight());
            EXPECT_EQ(bv.VideoEncoder(), av->VideoEncoder());
            EXPECT_EQ(bv.FrameRate(), av->FrameRate());
            EXPECT_EQ(bv.VideoBitrate(), av->VideoBitrate());
            EXPECT_EQ(bv.FrameAspectRatio(), TAVAspectRatio::AR_NONE);
        }
    }
    const auto& phone =
        dynamic_cast<const TAVCustomVideoProfile&>(*loaded->FindByDescription("IPhone H264 Video"));
    EXPECT_EQ(phone.FrameAspectRatio(), TAVAspectRatio::AR_NONE);
    EXPECT_EQ(Descriptions(loaded->ProfilesInCategory("Audio")).front(), "New Audio Profile");
}

TEST_F(UserProfiles, ShorterSaveLeavesOldKeysThatTheCountIgnores) {
    auto list = CreateBuiltInCatalogue();
    SaveUserProfiles(*list, File());
    list->RemoveCustomProfiles();
    auto& only = list->Add(std::make_unique<TAVCustomVideoProfile>());
    only.SetDescription("Only");
    SaveUserProfiles(*list, File());

    const TIniFile ini{fs::path(File())};
    EXPECT_EQ(ini.ReadInteger("Profile", "ProfileCount", -1), 1);
    EXPECT_EQ(ini.ReadString("Profile", "Description44", ""), "Apple Quicktime Video");

    auto loaded = CreateBuiltInCatalogue();
    LoadUserProfiles(*loaded, File());
    EXPECT_EQ(Descriptions(*loaded).back(), "Only");
    EXPECT_EQ(loaded->Count(), 12);
}

TEST_F(UserProfiles, DamagedCountCreatesNoProfilesWithoutKeys) {
    test::WriteFileBytes(File(),
                         "[Profile]\nProfileCount=2000000000\nIsVideo0=1\nDescription0=One\n");
    auto list = CreateBuiltInCatalogue();
    ASSERT_TRUE(LoadUserProfiles(*list, File()));
    EXPECT_LE(list->Count(), 11 + 3);
    EXPECT_EQ(list->Items(11).Description(), "One");
    EXPECT_NE(dynamic_cast<const TAVCustomVideoProfile*>(&list->Items(11)), nullptr);

    test::WriteFileBytes(File(), "[Profile]\nProfileCount=-4\n");
    ASSERT_TRUE(LoadUserProfiles(*list, File()));
    EXPECT_EQ(list->Count(), 11);
}

TEST_F(UserProfiles, UnreadableFileLeavesTheCatalogue) {
    fs::create_directories(File());  // a folder where the file should be
    auto list = CreateBuiltInCatalogue();
    EXPECT_THROW(LoadUserProfiles(*list, File()), EAVError);
    EXPECT_EQ(list->Count(), 56);
    EXPECT_THROW(SaveUserProfiles(*list, File()), EAVError);
}

TEST_F(UserProfiles, SaveKeepsOtherSectionsOfTheFile) {
    test::WriteFileBytes(File(), "; mine\n[Other]\nKey=Value\n");
    auto list = CreateBuiltInCatalogue();
    SaveUserProfiles(*list, File());
    const TIniFile ini{fs::path(File())};
    EXPECT_EQ(ini.ReadString("Other", "Key", ""), "Value");
    EXPECT_EQ(ini.ReadInteger("Profile", "ProfileCount", 0), 45);
    EXPECT_EQ(test::ReadFileBytes(File()).rfind("; mine\n[Other]\nKey=Value\n\n[Profile]\n", 0),
              0u);
}

}  // namespace
}  // namespace tw
