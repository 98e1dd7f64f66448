#include "support/container_clips.h"

namespace tw::test {

std::vector<ContainerClip> ContainerClips(int width, int height, double seconds) {
    struct Row {
        const char* extension;
        const char* video;
        const char* audio;
        int sampleRate;
    };
    static const Row kRows[] = {
        {".mp4", "libx264", "aac", 44100},       {".mkv", "libx264", "libopus", 48000},
        {".avi", "mpeg4", "libmp3lame", 44100},  {".mpg", "mpeg2video", "mp2", 48000},
        {".ts", "libx264", "aac", 48000},        {".flv", "flv", "libmp3lame", 44100},
        {".webm", "libvpx", "libvorbis", 48000},
    };
    std::vector<ContainerClip> clips;
    for (const Row& row : kRows) {
        ContainerClip c;
        c.extension = row.extension;
        c.clip.width = width;
        c.clip.height = height;
        c.clip.durationSec = seconds;
        c.clip.gopSize = 5;
        c.clip.videoCodec = row.video;
        c.clip.audioCodec = row.audio;
        c.clip.sampleRate = row.sampleRate;
        clips.push_back(c);
    }
    return clips;
}

}  // namespace tw::test
