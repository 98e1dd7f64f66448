#include "media/display_rotation.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <cmath>
#include <cstdlib>

namespace tw::media {

int DisplayRotation(const AVStream* stream) {
    double degrees = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix) {
        // The matrix turns counter-clockwise.
        degrees = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    } else if (const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        degrees = std::atof(tag->value);
    }
    if (!std::isfinite(degrees)) {
        return 0;
    }
    const int quarters = static_cast<int>(std::lround(degrees / 90.0));
    return ((quarters % 4) + 4) % 4 * 90;
}

}  // namespace tw::media
