#pragma once

// The filter graph of one encoded video stream:
//   buffer source -> [[idet] yadif] -> [turn upright] -> [crop] -> [scale to the encoder size, or
//   to the picture
//                 inside it with black bars around] -> [the user's filters]
//                 -> [a palette made for each picture] -> sink
// The sink delivers the encoder's pixel format; the size that comes out of the user's filters
// is the size the encoder gets.

#include <string>

#include "engine/crop_area.h"
#include "media/av_ptr.h"

namespace tw::engine {

struct VideoFilterGraphParams {
    int width = 0;  // decoded picture
    int height = 0;
    int pixelFormat = -1;
    AVRational timeBase{1, 25};
    AVRational sampleAspect{0, 1};
    AVRational frameRate{0, 1};
    int outWidth = 0;  // encoder size before the user's filters
    int outHeight = 0;
    int outPixelFormat = -1;
    // The picture inside the encoder frame, centred on black; 0 = it fills the frame.
    int pictureWidth = 0;
    int pictureHeight = 0;
    // Paletted output (outPixelFormat PAL8): each picture gets the 256 colours that suit it.
    bool palettePerPicture = false;
    int scalerFlags = 4;
    bool deinterlace = false;
    bool deinterlaceAuto = false;  // only the pictures found interlaced (idet ahead of yadif)
    int rotation = 0;         // clockwise quarter turns to apply first (0, 90, 180, 270 degrees)
    CropArea crop;            // taken off the upright picture before it is scaled
    std::string userFilters;  // filter-graph syntax; empty = none
    int threads = 1;          // the conversion's thread count; 0 = the libraries' own choice
};

class VideoFilterGraph {
public:
    // Returns 0 or a negative library error; error gets the library's reason.
    int BuildVideoFilterGraph(const VideoFilterGraphParams& params);

    // Hands a decoded picture over (the graph takes a reference); nullptr ends the stream.
    int Push(AVFrame* frame);
    // 0 with a picture, AVERROR(EAGAIN) when none is ready, AVERROR_EOF at the end.
    int Pull(AVFrame* frame);

    int OutputWidth() const;
    int OutputHeight() const;
    AVRational OutputSampleAspect() const;
    AVRational OutputTimeBase() const;

private:
    media::FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};

}  // namespace tw::engine
