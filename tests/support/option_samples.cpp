#include "support/option_samples.h"

#include <string>

namespace tw::test {

TStringList MatrixLines(int first) {
    TStringList lines;
    for (int i = 0; i < 64; ++i) {
        lines.push_back(std::to_string(first + i));
    }
    return lines;
}

void FillEveryOption(TAVConvertOptions& options) {
    TAudioOptions& audio = options.AudioOptions();
    audio.SetAudioChannels(2);
    audio.SetAudioSampleRate(44100);
    audio.SetAudioVolume(512);
    audio.SetAudioSyncMethod(1);
    audio.SetAudioDisable(true);
    audio.SetAudioSampleFmt(sfS16);
    audio.SetAudioStreamCopy(true);
    audio.SetEncoderAudioCodecName("aac");
    audio.SetDecoderAudioCodecName("mp3");
    audio.SetAudioCodecTag(1234);
    audio.SetAudioLanguage("eng");
    audio.SetAudioTracks("2,1");
    audio.SetAudioQScale(3.5f);
    audio.SetAudioDriftThreshold(0.25f);
    audio.SetBitrate(224000);
    audio.SetMaxFrames(1000);

    TSubtitleOptions& subtitle = options.SubtitleOptions();
    subtitle.SetSubtitleLanguage("fre");
    subtitle.SetSubtitleTracks("all");
    subtitle.SetSubtitleCodecName("mov_text");
    subtitle.SetSubtitleDisable(true);
    subtitle.SetSubtitleStreamCopy(true);
    subtitle.SetSubtitleCodecTag(7);

    TVideoOptions& video = options.VideoOptions();
    video.SetFrameWidth(320);
    video.SetFrameHeight(240);
    video.SetEncoderVideoCodecName("libx264");
    video.SetDecoderVideoCodecName("h264");
    video.SetVideoDisable(true);
    video.SetVideoStreamCopy(true);
    video.SetVideoCodecTag(9);
    video.SetVideoLanguage("deu");
    video.SetVideoGlobalHeader(3);
    video.SetIntraOnly(true);
    video.SetVideoQscale(2.5f);
    video.SetSameQuality(true);
    video.SetVideoRcOverrideString("0,100,2");
    video.SetIntraDcPrecision(9);
    video.SetVideoSyncMethod(2);
    video.SetTopFieldFirst(1);
    video.SetForceFPS(true);
    video.SetIntraMatrix(MatrixLines(8));
    video.SetInterMatrix(MatrixLines(16));
    video.SetFrameRate(TRational(30000, 1001));
    video.SetFrameAspectRatio(1.5f);
    video.SetMeThreshold(5);
    video.SetDeinterlace(true);
    video.SetPass(1);
    video.SetMaxFrames(500);
    video.SetBitrate(1150000);
    video.SetForceKeyFrames({"0", "10.5"});
    video.SetKeepPictureShape(false);
    video.SetCrop("8:8:0:0");
    video.SetDeinterlaceAuto(true);
    video.PixelFormat = 4;

    TMuxerOptions& muxer = options.MuxerOptions();
    muxer.SetMuxPreload(0.25f);
    muxer.SetMuxMaxDelay(0.5f);
    muxer.SetAudioBitstreamFilters({"aac_adtstoasc"});
    muxer.SetSubtitleBitstreamFilters({"mov2textsub"});
    muxer.SetVideoBitstreamFilters({"h264_mp4toannexb", "dump_extra"});

    options.GrabOptions().SetVideoChannel(1);
    options.GrabOptions().SetVideoStandard("PAL");
    options.GrabOptions().SetInputSync(true);
    options.FilterOptions().SetVideoFilters("hflip,negate");

    options.SetMetaData({"title=Holiday", "author=Me"});
    options.SetCodecOptions({"maxrate=1150000", "flags2=+wpred+dct8x8+fastpskip+mbtree"});
    options.SetOutputFormat("mp4");
    options.SetInputFormat("mpeg");
    options.SetStartTime(1500000);
    options.SetRecordingTime(60000000);
    options.SetThreadCount(2);
    options.SetStreamMaps({"0=1", "0=0"});
}

}  // namespace tw::test
