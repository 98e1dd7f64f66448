#include "jobs.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/dict.h>
}

#include "filters/filter_list.h"
#include "filters/video_std_filter.h"
#include "profiles/profile_catalogue.h"

namespace tw::bench {

namespace {

constexpr BenchSource k720p{1280, 720, 30};
constexpr BenchSource k1080p{1920, 1080, 30};

// What the engine sets on its encoders and muxers for these jobs, as the libraries read it back
// after opening them (options left at the libraries' defaults are not listed). The engine's
// audio encoders also get the picture-only fields of an audio defaults context (left at zero),
// which no audio encoder reads; the reference leaves them out.
constexpr const char* kPictureCommon = "bits_per_raw_sample=8:chroma_sample_location=left";
constexpr const char* kMuxer = "preload=500000:max_delay=700000:fflags=0x00200004";

OptionList Options(const std::string& text) {
    AVDictionary* parsed = nullptr;
    av_dict_parse_string(&parsed, text.c_str(), "=", ":", 0);
    OptionList options;
    for (const AVDictionaryEntry* e = nullptr;
         (e = av_dict_get(parsed, "", e, AV_DICT_IGNORE_SUFFIX));) {
        options.emplace_back(e->key, e->value);
    }
    av_dict_free(&parsed);
    return options;
}

ReferenceVideo Video(const char* encoder, int width, int height, AVRational rate,
                     AVRational sampleAspect, const std::string& options) {
    ReferenceVideo video;
    video.encoder = encoder;
    video.width = width;
    video.height = height;
    video.frameRate = rate;
    video.sampleAspect = sampleAspect;
    video.options = Options(std::string(kPictureCommon) + ":" + options);
    return video;
}

ReferenceAudio Audio(const char* encoder, int sampleRate, const std::string& options) {
    ReferenceAudio audio;
    audio.encoder = encoder;
    audio.sampleRate = sampleRate;
    audio.options = Options(options);
    return audio;
}

ReferenceJob Reference(const char* format, bool copy) {
    ReferenceJob job;
    job.format = format;
    job.muxerOptions = Options(kMuxer);
    job.copyVideo = copy;
    job.copyAudio = copy;
    return job;
}

std::vector<Job> MakeJobs() {
    std::vector<Job> jobs;

    Job ipod;
    ipod.name = "ipod";
    ipod.source = k720p;
    ipod.profile = "IPod 320x240 Video";
    ipod.extension = ".mp4";
    ipod.reference = Reference("ipod", false);
    ipod.reference.hasVideo = true;
    ipod.reference.video =
        Video("libxvid", 320, 240, {30000, 1001}, {1, 1}, "b=768000:flags=0x00400000");
    ipod.reference.hasAudio = true;
    ipod.reference.audio = Audio("aac", 48000, "b=128000:flags=0x00400000:profile=1");
    jobs.push_back(ipod);

    Job h264;
    h264.name = "h264-720p";
    h264.source = k1080p;
    h264.profile = "IPad H264 Hiqh Quality";
    h264.extension = ".mp4";
    h264.reference = Reference("mp4", false);
    h264.reference.hasVideo = true;
    h264.reference.video = Video(
        "libx264", 1280, 720, {25, 1}, {1, 1},
        "b=4000000:flags=0x80400000:g=250:qcomp=0.6:qblur=-1:qmin=10:qmax=51:qdiff=4:bf=3:"
        "b_qfactor=-1:i_qfactor=0.71:subq=7:me_range=16:mbd=2:rc_init_occupancy=-1:level=41:"
        "cmp=256:refs=3:trellis=1:thread_type=0:wpredp=2:weightb=true:mixed-refs=true:"
        "8x8dct=true:fast-pskip=true:mbtree=true:partitions=i4x4,i8x8,p8x8,b8x8:direct-pred=1:"
        "me_method=1:motion-est=1:coder=1:b_strategy=1:sc_threshold=40");
    h264.reference.hasAudio = true;
    h264.reference.audio =
        Audio("aac", 48000, "b=160000:flags=0x00400000:profile=1:level=41:trellis=1");
    h264.h264 = true;
    jobs.push_back(h264);

    Job dvd;
    dvd.name = "dvd-pal";
    dvd.source = k720p;
    dvd.profile = "DVD MPEG TS(PAL)";
    dvd.extension = ".vob";
    dvd.reference = Reference("dvd", false);
    dvd.reference.hasVideo = true;
    dvd.reference.video = Video("mpeg2video", 720, 576, {25, 1}, {64, 45},
                                "b=6000000:profile=4:level=8:timecode_frame_start=0");
    dvd.reference.hasAudio = true;
    dvd.reference.audio = Audio("ac3", 48000, "b=448000:copyright=0:dsur_mode=0:original=1");
    jobs.push_back(dvd);

    Job mp3;
    mp3.name = "mp3";
    mp3.source = k720p;
    mp3.profile = "MP3 Audio";
    mp3.extension = ".mp3";
    mp3.reference = Reference("mp3", false);
    mp3.reference.hasAudio = true;
    mp3.reference.audio = Audio("libmp3lame", 48000, "b=192000");
    jobs.push_back(mp3);

    Job remux;
    remux.name = "remux";
    remux.source = k720p;
    remux.profile = "";
    remux.extension = ".mkv";
    remux.reference = Reference("", true);
    remux.reference.hasVideo = true;
    remux.reference.hasAudio = true;
    jobs.push_back(remux);

    Job filters;
    filters.name = "filters";
    filters.source = k720p;
    filters.profile = "Apple Quicktime Video";
    filters.extension = ".mov";
    filters.userFilters = true;
    filters.reference = Reference("mov", false);
    filters.reference.hasVideo = true;
    filters.reference.video =
        Video("mpeg4", 352, 288, {25, 1}, {16, 11}, "b=2000000:flags=0x00400000");
    filters.reference.video.filters = "hflip,drawbox=x=16:y=16:w=120:h=60:color=0xFF0000";
    filters.reference.hasAudio = true;
    filters.reference.audio = Audio("aac", 44100, "b=192000:flags=0x00400000:profile=1");
    jobs.push_back(filters);
    return jobs;
}

std::string UserFilterChain() {
    TVideoStdFilter filter;
    filter.SetHorizontalFilip(true);
    filter.SetDrawBox(true);
    filter.SetBX(16);
    filter.SetBY(16);
    filter.SetBWidth(120);
    filter.SetBHeight(60);
    filter.SetBColor("Red");
    return filters::FilterChainText({&filter});
}

}  // namespace

const std::vector<Job>& Jobs() {
    static const std::vector<Job> jobs = MakeJobs();
    return jobs;
}

const Job* FindJob(const std::string& name) {
    for (const Job& job : Jobs()) {
        if (job.name == name) {
            return &job;
        }
    }
    return nullptr;
}

void ConfigureEngine(const Job& job, int threads, TAVConvertOptions& options) {
    if (job.userFilters) {
        options.FilterOptions().SetVideoFilters(UserFilterChain());
    }
    options.SetInputFormat("");
    options.SetThreadCount(threads);
    if (job.profile.empty()) {
        options.VideoOptions().SetVideoStreamCopy(true);
        options.AudioOptions().SetAudioStreamCopy(true);
        return;
    }
    static const auto catalogue = CreateBuiltInCatalogue();
    const TAVProfile* profile = catalogue->FindByDescription(job.profile);
    if (!profile) {
        std::fprintf(stderr, "no profile \"%s\" in the catalogue\n", job.profile.c_str());
        std::exit(1);
    }
    profile->ApplyTo(options);
}

}  // namespace tw::bench
