#pragma once

// How a video output places its pictures in time: the rate it is encoded at, the clock its
// places count in, and whether pictures keep their own times. A run sets its video output up
// by these rules; whatever must know beforehand where a run will place its pictures (a
// conversion cut into segments) asks the same rules.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tw {
class TAVConvertOptions;
}

namespace tw::engine {

// The source's picture rate as an output rate: the library's guess from the container's and the
// codec's rates (which sees through field rates and through the finest time stamp step of a
// variable-rate recording, read as a rate of hundreds), and the stream's average where even that
// is more than any screen shows. {0, 1} when nothing plausible is known.
AVRational PlausibleFrameRate(AVFormatContext* file, AVStream* stream);

// Containers that store each picture's own time (and duration), so that a picture need not be
// repeated to hold a rate.
bool CarriesVariableTiming(const AVOutputFormat* format);

// The rate an encoder takes for rate: the nearest of its own list where it has one, unless the
// rate is forced.
AVRational EncoderFrameRate(AVRational rate, const AVCodec* codec, bool forceRate);

// Pictures keep their own times where the container can say them and nothing asks for a steady
// rate; codecs with a fixed list of rates need a steady one.
bool KeepsSourceTiming(bool rateChosen, int syncMethod, const AVOutputFormat* format,
                       const AVCodec* codec);

// With pictures keeping their own times: the clock the encoder counts in, given its own
// (1 / rate) and the source stream's. The source's clock where it is finer and encoders can
// count in it (16-bit terms, as MPEG-4's); the encoder's own where the source's is as coarse or
// coarser. {0, 1} where the source's is finer but out of reach: the pictures then do not keep
// their own times.
AVRational SourceTimingClock(AVRational sourceClock, AVRational encoderClock);

// The sync method that places pictures: variable rate (2) where they keep their own times,
// else the one asked for.
int PictureSyncMethod(bool keepsSourceTiming, int syncMethod);

// Where a run converting the source stream of file into format with options will count its
// pictures' places, and how it places them. unit {0, 1} when the run would find no rate.
struct PictureClock {
    AVRational unit{0, 1};
    int method = -1;
};
PictureClock PlannedPictureClock(AVFormatContext* file, AVStream* stream,
                                 const AVOutputFormat* format, const TAVConvertOptions& options);

}  // namespace tw::engine
