#include "engine/target_files.h"

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/av_ptr.h"
#include "util/format.h"

namespace tw::engine {

bool TargetFile::Identify(const std::string& path, TargetFile* file) {
    struct stat now {};
    if (stat(path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
        return false;
    }
    *file = TargetFile{path, now.st_dev, now.st_ino};
    return true;
}

bool TargetFile::StillThere() const {
    TargetFile now;
    return Identify(path, &now) && now.device == device && now.inode == inode;
}

bool Playable(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    media::InputFormatPtr context(raw);
    if (avformat_find_stream_info(context.get(), nullptr) < 0) {
        return false;
    }
    media::PacketPtr packet = media::MakePacket();
    return av_read_frame(context.get(), packet.get()) >= 0;
}

std::vector<std::string> RemoveUnusableTargets(const std::vector<TargetOutcome>& targets) {
    std::vector<std::string> removed;
    for (const TargetOutcome& target : targets) {
        const char* why = nullptr;
        if (target.packets == 0) {
            why = "nothing was written into it";
        } else if (!target.finished && !Playable(target.file.path)) {
            why = "it could not be finished and does not play without its end";
        }
        // Checked last, right before the removal: the name must still be the run's own file.
        if (why && target.file.StillThere() && unlink(target.file.path.c_str()) == 0) {
            removed.push_back(
                FormatPrintf("The output file %s was removed: %s.", target.file.path.c_str(), why));
        }
    }
    return removed;
}

}  // namespace tw::engine
