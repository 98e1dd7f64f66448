#pragma once

// Library options given by name ("b=500000", "g=15", "flags=+qscale" ...) are first set on a
// set of default contexts (one codec context per media type, one format context, one scaler
// context) and later copied from there onto the real decoders, encoders and format contexts.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "media/av_ptr.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace tw::engine {

class LibraryOptions {
public:
    // scalerFlags: the flags of the scaler defaults (bicubic = 4).
    explicit LibraryOptions(int scalerFlags);
    ~LibraryOptions();
    LibraryOptions(const LibraryOptions&) = delete;
    LibraryOptions& operator=(const LibraryOptions&) = delete;

    // Sets one option line (in the stored, older wording) on the defaults it belongs to. Returns
    // 0 when accepted, -1 otherwise; a known option with a bad value shows "Invalid value for
    // Option!" through the message service. Options private to an encoder or a muxer are kept
    // for them (see below); names nobody knows reach them too and are dropped there silently.
    int SetLibraryOption(const std::string& name, const std::string& value);

    using OptionList = std::vector<std::pair<std::string, std::string>>;
    // Private options for video encoders and for muxers, in the order given; a later value of a
    // name replaces an earlier one when they are put into a dictionary.
    const OptionList& VideoEncoderOptions() const { return videoEncoder_; }
    const OptionList& MuxerOptions() const { return muxer_; }

    // Copies every accepted option whose flags hold all bits of flags from defaults onto
    // target (both objects with an AVClass).
    void ApplyLibraryOptions(void* target, void* defaults, int flags) const;

    AVCodecContext* CodecDefaults(int mediaType) {
        return codec_[static_cast<size_t>(mediaType)].get();
    }
    AVFormatContext* FormatDefaults() { return format_.get(); }
    SwsContext* ScalerDefaults() { return scaler_.get(); }
    // The scaler flags as they stand after the user's options.
    int ScalerFlags() const;

    const std::vector<std::string>& AcceptedNames() const { return accepted_; }

    // Option flag words used when copying.
    static constexpr int kFormat = AV_OPT_FLAG_DECODING_PARAM;  // 2, input and output alike
    static constexpr int kVideoDecoder = AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM;
    static constexpr int kAudioDecoder = AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM;
    static constexpr int kVideoEncoder = AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM;
    static constexpr int kAudioEncoder = AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM;

private:
    int SetGenericOption(const std::string& name, const std::string& value);
    bool SetOn(void* object, const std::string& name, const std::string& value, bool* found,
               int* result);
    void Remember(const std::string& name);

    std::array<media::CodecContextPtr, 5> codec_;
    media::FormatContextPtr format_;
    media::SwsPtr scaler_;
    std::vector<std::string> accepted_;
    OptionList videoEncoder_;
    OptionList muxer_;
};

}  // namespace tw::engine
