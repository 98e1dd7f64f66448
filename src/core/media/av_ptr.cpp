#include "media/av_ptr.h"

#include <new>
#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace tw::media {

FramePtr MakeFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        throw std::bad_alloc();
    }
    return frame;
}

PacketPtr MakePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        throw std::bad_alloc();
    }
    return packet;
}

std::string ErrorText(int errnum) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(errnum, buffer, sizeof buffer);
    return buffer;
}

}  // namespace tw::media
