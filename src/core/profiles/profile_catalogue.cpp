#include "profiles/profile_catalogue.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "profiles/custom_audio_profile.h"
#include "profiles/target_profiles.h"
#include "util/av_error.h"
#include "util/format.h"
#include "util/ini_file.h"
#include "util/text_file.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

using AE = TCustomAudioEncoder;
using VE = TCustomVideoEncoder;
using FR = TCustomFrameRate;
using FM = TCustomAVFormat;

struct AudioValues {
    AE encoder;
    int sampleRate;
    int channels;
    double bitrate;
    FM format;
};

struct VideoValues {
    VE encoder;
    int width;
    int height;
    FR rate;
    int bitrate;
    bool aspect43;
};

// One audio or video profile of the catalogue. options: lines separated by '\n'.
struct CustomRow {
    const char* name;
    const char* category;
    const char* description;
    const char* extension;
    AudioValues audio;
    bool isVideo;
    VideoValues video;
    const char* options;
};

constexpr VideoValues kNoVideo{VE::H263, 0, 0, FR::rOriginal, 0, false};
constexpr const char* kIPhoneMpeg4Options = "maxrate=1000000\nqmin=3\nqmax=5\nbufsize=4096k\ng=300";

constexpr CustomRow Audio(const char* name, const char* category, const char* description,
                          const char* extension, AudioValues audio) {
    return {name, category, description, extension, audio, false, kNoVideo, ""};
}

constexpr CustomRow Video(const char* name, const char* category, const char* description,
                          const char* extension, AudioValues audio, VideoValues video,
                          const char* options = "") {
    return {name, category, description, extension, audio, true, video, options};
}

// The audio and video profiles, in catalogue order (they follow the five disc standards and the
// plain image profile).
const CustomRow kCustomRows[] = {
    Audio("pfAAC", "Audio", "AAC Audio", ".mp4", {AE::AAC, 48000, 2, 128.0, FM::F_NONE}),
    Audio("pfMp3", "Audio", "MP3 Audio", ".mp3", {AE::MP3, 48000, 2, 192.0, FM::F_NONE}),
    Video("pfTV264_320", "Apple TV", "Apple TV H264 Video(320x240)", ".mp4",
          {AE::AAC, 48000, 2, 64.0, FM::F_NONE}, {VE::H264, 320, 240, FR::r2997, 1500, false}),
    Video("pfTV264_480", "Apple TV", "Apple TV H264 video(640x480)", ".mp4",
          {AE::AAC, 48000, 2, 64.0, FM::F_NONE}, {VE::H264, 640, 480, FR::r2997, 2000, false}),
    Video("pfTV264_720", "Apple TV", "Apple TV H264 video(1280x720)", ".mp4",
          {AE::AAC, 48000, 2, 64.0, FM::F_NONE}, {VE::H264, 1280, 720, FR::r2997, 2500, false}),
    Video("pfTVMP4_480", "Apple TV", "Apple TV MPEG-4 high quality video(640x480)", ".mp4",
          {AE::AAC, 44100, 2, 128.0, FM::F_NONE}, {VE::MPEG4, 640, 480, FR::r2997, 1500, false}),
    Video("pfTVMP4_480_hq", "Apple TV", "Apple TV MPEG-4 video(640x480)", ".mp4",
          {AE::AAC, 44100, 2, 96.0, FM::F_NONE}, {VE::MPEG4, 640, 480, FR::r2997, 1200, false}),
    Video("pfTVMP4_480_lq", "Apple TV", "Apple TV MPEG-4 low quality video(640x480)", ".mp4",
          {AE::AAC, 44100, 2, 64.0, FM::F_NONE}, {VE::MPEG4, 640, 480, FR::r2997, 768, false}),
    Video("pfZuneMP4", "Zune", "Zune MPEG4 Video(320x240)", ".mp4",
          {AE::AAC, 44100, 2, 64.0, FM::F_NONE}, {VE::MPEG4, 320, 240, FR::r25, 768, false}),
    Video("pfZuneAVC", "Zune", "Zune H264 Video(320x240)", ".mp4",
          {AE::AAC, 44100, 2, 64.0, FM::F_NONE}, {VE::H264, 320, 240, FR::r25, 768, false}),
    Video("pfZuneWMV", "Zune", "Zune Windows Media WMV(320x240)", ".wmv",
          {AE::WMAV2, 48000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 320, 240, FR::r25, 1500, false}),
    Video("pfWMX51", "Windows Mobile", "Dell Axim X51 Video", ".wmv",
          {AE::WMAV2, 32000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 320, 240, FR::r25, 768, false}),
    Video("pfWMX51v", "Windows Mobile", "Dell Axim X51v Video", ".wmv",
          {AE::WMAV2, 48000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 320, 240, FR::r25, 1000, false}),
    Video("pfWMPocketPC", "Windows Mobile", "General Pocket PC Video", ".wmv",
          {AE::WMAV2, 32000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 320, 240, FR::r25, 768, false}),
    Video("pfWMPocketPC_lq", "Windows Mobile", "General Pocket PC Video(Low Quality)", ".wmv",
          {AE::WMAV2, 32000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 176, 144, FR::r25, 384, false}),
    Video("pfWMHP_hw6500", "Windows Mobile", "HP iPAQ hw6500", ".wmv",
          {AE::WMAV2, 32000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 240, 240, FR::r25, 384, false}),
    Video("pfWMHP_hx2000", "Windows Mobile", "HP iPAQ hx2000/rx3000/rx1900", ".wmv",
          {AE::WMAV2, 32000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 320, 240, FR::r25, 768, false}),
    Video("pfWMHP_hx4700", "Windows Mobile", "HP iPAQ hx4700", ".wmv",
          {AE::WMAV2, 48000, 2, 128.0, FM::F_NONE}, {VE::WMV2, 640, 480, FR::r25, 1200, false}),
    Video("pfPS3_hd", "PS3", "PS3 1080 HD Video", ".mp4", {AE::AAC, 48000, 2, 128.0, FM::F_NONE},
          {VE::H264, 1920, 1080, FR::r2997, 35000, false}),
    Video("pfPS3_720", "PS3", "PS3 720p Video", ".mp4", {AE::AAC, 48000, 2, 128.0, FM::F_NONE},
          {VE::H264, 1280, 720, FR::r2997, 15000, false}),
    Video("pfPS3_480", "PS3", "PS3 480p Video", ".mp4", {AE::AAC, 48000, 2, 80.0, FM::F_NONE},
          {VE::H264, 720, 480, FR::r2997, 5000, false}),
    Video("pfPSP_Mpeg4", "PSP", "PSP MPEG4 Video", ".mp4", {AE::AAC, 48000, 2, 64.0, FM::F_PSP},
          {VE::XVID, 368, 208, FR::r2997, 512, false}),
    Video("pfPSP_AVC", "PSP", "PSP AVC Video", ".mp4", {AE::AAC, 48000, 2, 64.0, FM::F_PSP},
          {VE::H264, 368, 208, FR::r2997, 512, false}),
    Video("pfPSP_HQ", "PSP", "PSP 480p Video", ".mp4", {AE::AAC, 48000, 2, 80.0, FM::F_PSP},
          {VE::H264, 368, 208, FR::r2997, 1200, false}),
    Video("pfIPhone_264", "IPhone", "IPhone H264 Video", ".mp4",
          {AE::AAC, 48000, 2, 128.0, FM::F_MP4}, {VE::H264, 480, 320, FR::r2997, 1000, true}),
    Video("pfIPhone_264_tele", "IPhone", "IPhone H264 Television Video", ".mp4",
          {AE::AAC, 48000, 2, 128.0, FM::F_MP4}, {VE::H264, 640, 480, FR::r2997, 1800, false}),
    Video("pfIPhone_mpeg4", "IPhone", "IPhone MPEG4 Video", ".mp4",
          {AE::AAC, 48000, 2, 128.0, FM::F_MP4}, {VE::MPEG4, 480, 320, FR::r2997, 1000, true},
          kIPhoneMpeg4Options),
    Video("pfIPhone_mpeg4_tele", "IPhone", "IPhone MPEG4 Television Video", ".mp4",
          {AE::AAC, 48000, 2, 128.0, FM::F_MP4}, {VE::MPEG4, 640, 480, FR::r2997, 1800, false},
          kIPhoneMpeg4Options),
    Video("pfIPhone_mpeg4_wide", "IPhone", "IPhone MPEG4 Wide Screen Video", ".mp4",
          {AE::AAC, 44100, 2, 128.0, FM::F_MP4}, {VE::XVID, 720, 406, FR::r2997, 1500, false},
          kIPhoneMpeg4Options),
    Video("pfIPod", "IPod", "IPod 320x240 Video", ".mp4", {AE::AAC, 48000, 2, 128.0, FM::F_IPOD},
          {VE::XVID, 320, 240, FR::r2997, 768, true}),
    Video("pfIPod_HQ", "IPod", "IPod 320x240 High Quality Video", ".mp4",
          {AE::AAC, 48000, 2, 192.0, FM::F_IPOD}, {VE::XVID, 320, 240, FR::r2997, 1000, true}),
    Video("pfIPod_LQ", "IPod", "IPod 320x240 Low Quality Video", ".mp4",
          {AE::AAC, 48000, 2, 64.0, FM::F_IPOD}, {VE::XVID, 320, 240, FR::r2997, 512, true}),
    Video("pf3gp", "Mobile", "3GPP", ".3gp", {AE::AMR_NB, 8000, 1, 12.2, FM::F_3GP},
          {VE::H263, 176, 144, FR::rOriginal, 128, false}),
    Audio("pfAC3", "Audio", "AC3 Dolby Audio", ".ac3", {AE::AC3, 48000, 2, 192.0, FM::F_AC3}),
    Video("pf3gp2", "Mobile", "3GPP2", ".3g2", {AE::AAC, 16000, 2, 32.0, FM::F_3GP2},
          {VE::MPEG4, 176, 144, FR::r1499, 192, false}, "flags=bitexact"),
    Video("pf3gp2_hq", "Mobile", "3GPP2 High Quality", ".3g2",
          {AE::AAC, 16000, 2, 32.0, FM::F_3GP2}, {VE::MPEG4, 320, 240, FR::r1499, 384, false},
          "flags=bitexact"),
    Video("pfIPad_H264", "IPad", "IPad H264 Video", ".mp4", {AE::AAC, 44100, 2, 128.0, FM::F_NONE},
          {VE::H264, 720, 576, FR::r25, 1800, false}),
    Video("pfIPad_H264_HQ", "IPad", "IPad H264 Hiqh Quality", ".mp4",
          {AE::AAC, 48000, 2, 160.0, FM::F_NONE}, {VE::H264, 1280, 720, FR::r25, 4000, false}),
    Video("pfXb_H264_HD", "XBox", "Xbox360 HD H264 Video", ".mp4",
          {AE::AAC, 48000, 2, 128.0, FM::F_NONE}, {VE::H264, 640, 480, FR::r2997, 1500, false}),
    Video("pfXb_MPEG_MCE", "Xbox", "Xbox360 MCE HD MPEG2 Video", ".mpg",
          {AE::AC3, 48000, 2, 224.0, FM::F_NONE},
          {VE::MPEG2VIDEO, 1440, 1080, FR::r30, 8000, false}),
    Video("pfMKV", "Video", "Matroska Video", ".mkv", {AE::MP3, 48000, 2, 128.0, FM::F_NONE},
          {VE::H264, 0, 0, FR::r25, 1200, false}),
    Video("pfDVD_PAL", "Video", "DVD MPEG TS(PAL)", ".vob", {AE::AC3, 48000, 2, 448.0, FM::F_DVD},
          {VE::MPEG2VIDEO, 720, 576, FR::r25, 6000, false}),
    Video("pfDVD_NTSC", "Video", "DVD MPEG2 PS(NTSC)", ".vob",
          {AE::AC3, 48000, 2, 448.0, FM::F_DVD},
          {VE::MPEG2VIDEO, 720, 480, FR::r2997, 6000, false}),
    Video("pfFlash", "Video", "Flash Video", ".flv", {AE::MP3, 44100, 2, 64.0, FM::F_FLV},
          {VE::FLV, 0, 0, FR::r1499, 384, false}),
    Video("pfMOV", "Video", "Apple Quicktime Video", ".mov", {AE::AAC, 44100, 2, 192.0, FM::F_MOV},
          {VE::MPEG4, 352, 288, FR::r25, 2000, false}),
};

struct ImageRow {
    const char* name;
    const char* category;
    const char* description;
    const char* extension;
    TAVImageType type;
};

const ImageRow kImageRows[] = {
    {"pfJpeg", "Images", "JPEG Sequence", "1.jpg", TAVImageType::jpeg},
    {"pfGif", "Images", "GIF Sequence", "1.gif", TAVImageType::gif},
    {"pfPng", "Images", "PNG Sequence", "1.png", TAVImageType::png},
    {"pfBmp", "Images", "BMP Sequence", "1.bmp", TAVImageType::bitmap},
    {"pfTiff", "Images", "TIFF Sequence", "1.tif", TAVImageType::tiff},
};

TStringList SplitLines(std::string_view text) {
    TStringList lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

std::unique_ptr<TAVCustomAudioProfile> MakeCustom(const CustomRow& row) {
    std::unique_ptr<TAVCustomAudioProfile> profile;
    if (row.isVideo) {
        auto video = std::make_unique<TAVCustomVideoProfile>();
        video->SetVideoEncoder(row.video.encoder);
        video->SetFrameWidth(row.video.width);
        video->SetFrameHeight(row.video.height);
        video->SetFrameRate(row.video.rate);
        video->SetVideoBitrate(row.video.bitrate);
        video->SetPass(0);
        if (row.video.aspect43) {
            video->SetFrameAspectRatio(TAVAspectRatio::AR4_3);
        }
        profile = std::move(video);
    } else {
        profile = std::make_unique<TAVCustomAudioProfile>();
    }
    profile->SetName(row.name);
    profile->SetCategory(row.category);
    profile->SetDescription(row.description);
    profile->SetExtension(row.extension);
    profile->SetAudioEncoder(row.audio.encoder);
    profile->SetSampleRate(row.audio.sampleRate);
    profile->SetAudioChannels(row.audio.channels == 1 ? TCustomAudioChannels::mono1
                                                      : TCustomAudioChannels::stereo2);
    profile->SetAudioBitrate(row.audio.bitrate);
    profile->SetFormat(row.audio.format);
    profile->SetOptions(SplitLines(row.options));
    return profile;
}

template <class P>
void AddTarget(TAVProfileList& list, const char* name) {
    auto profile = std::make_unique<P>();
    profile->SetName(name);
    list.Add(std::move(profile));
}

// A file the program wrote: the profile count stands in the profile section, and the text has
// no control characters (binary garbage always has some; a text in an older code page has none).
bool IsProfileFile(const TIniFile& ini) {
    if (!ini.ValueExists(kProfileSection, "ProfileCount")) {
        return false;
    }
    const std::string text = ini.Text();
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7f;
    });
}

}  // namespace

const TStringList& BuiltInCategories() {
    static const TStringList categories = {"Video", "Audio",          "Images",  "IPad",   "IPhone",
                                           "IPod",  "Zune",           "PSP",     "Mobile", "PS3",
                                           "Xbox",  "Windows Mobile", "Apple TV"};
    return categories;
}

void FillBuiltInCatalogue(TAVProfileList& list) {
    list.SetCategories(BuiltInCategories());
    AddTarget<TAVVcdProfile>(list, "pfVcd");
    AddTarget<TAVDvProfile>(list, "pfDv");
    AddTarget<TAVDv50Profile>(list, "pfDv50");
    AddTarget<TAVDvdProfile>(list, "pfDvd_old");
    AddTarget<TAVSVcdProfile>(list, "pfSVcd");
    auto image = std::make_unique<TAVImageProfile>();
    image->SetName("pfImage");
    image->SetExtension(".bmp");
    image->SetImageType(TAVImageType::bitmap);
    list.Add(std::move(image));
    for (const CustomRow& row : kCustomRows) {
        list.Add(MakeCustom(row));
    }
    for (const ImageRow& row : kImageRows) {
        auto profile = std::make_unique<TAVImageProfile>();
        profile->SetName(row.name);
        profile->SetCategory(row.category);
        profile->SetDescription(row.description);
        profile->SetExtension(row.extension);
        profile->SetImageType(row.type);
        list.Add(std::move(profile));
    }
}

std::unique_ptr<TAVProfileList> CreateBuiltInCatalogue() {
    auto list = std::make_unique<TAVProfileList>();
    list->SetName("profileList");
    FillBuiltInCatalogue(*list);
    return list;
}

fs::path UserProfileFileName(const std::string& configFolder) {
    return fs::path(configFolder + "Profiles.ini");
}

bool LoadUserProfiles(TAVProfileList& list, const fs::path& file) {
    std::error_code error;
    if (!fs::exists(file, error)) {
        return false;
    }
    // Read before anything is removed, so a file that cannot be read leaves the catalogue.
    const TIniFile ini(file);
    if (!IsProfileFile(ini)) {
        // Taken as it stands, such a file would empty the catalogue of its audio and video
        // profiles, and the next save would write them into the damaged text.
        const fs::path kept = KeepAside(file);
        throw EAVError(
            kept.empty()
                ? FormatPrintf("The profile file %s is damaged; the built-in profiles are used.",
                               file.c_str())
                : FormatPrintf("The profile file %s is damaged. It was kept as %s and the "
                               "built-in profiles are used.",
                               file.c_str(), kept.c_str()));
    }
    list.RemoveCustomProfiles();
    int count = ini.ReadInteger(kProfileSection, "ProfileCount", 0);
    // Every profile has keys of its own, so a count beyond the section's keys can only come
    // from a damaged file; it must not make the program create profiles without end.
    const int keys = static_cast<int>(ini.ReadSection(kProfileSection).size());
    count = std::clamp(count, 0, keys);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<TAVCustomAudioProfile> profile;
        if (ini.ReadBool(kProfileSection, "IsVideo" + std::to_string(i), false)) {
            profile = std::make_unique<TAVCustomVideoProfile>();
        } else {
            profile = std::make_unique<TAVCustomAudioProfile>();
        }
        profile->LoadFromIni(ini, i);
        list.Add(std::move(profile));
    }
    return true;
}

void SaveUserProfiles(const TAVProfileList& list, const fs::path& file) {
    std::error_code error;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), error);
        if (error) {
            throw EAVError(FormatPrintf("Cannot create file \"%s\".", file.c_str()));
        }
    }
    TIniFile ini(file);
    int number = 0;
    for (int i = 0; i < list.Count(); ++i) {
        if (const auto* profile = dynamic_cast<const TAVCustomAudioProfile*>(&list.Items(i))) {
            profile->SaveToIni(ini, number);
            ++number;
        }
    }
    ini.WriteInteger(kProfileSection, "ProfileCount", number);
    ini.UpdateFile();
}

}  // namespace tw
