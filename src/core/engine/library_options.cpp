#include "engine/library_options.h"

#include <cstring>
#include <new>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/legacy_options.h"
#include "platform/message_service.h"

namespace tw::engine {

namespace {

// Option-type masks by media type (video, audio, data, subtitle, attachment): an option reaches
// the defaults of a media type when its flags hold the mask.
constexpr int kTypeMasks[5] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                               AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Options whose old meaning was narrower than the current library's: in the option lines our
// profiles and stored tasks carry, these were video-only (the audio rate was "ab").
bool VideoOnlyLegacyOption(const std::string& name) {
    return name == "b" || name == "bt" || name == "maxrate" || name == "minrate";
}

}  // namespace

LibraryOptions::LibraryOptions(int scalerFlags) {
    for (auto& context : codec_) {
        context.reset(avcodec_alloc_context3(nullptr));
        if (!context) {
            throw std::bad_alloc();
        }
    }
    format_.reset(avformat_alloc_context());
    scaler_.reset(sws_alloc_context());
    if (!format_ || !scaler_) {
        throw std::bad_alloc();
    }
    av_opt_set_int(scaler_.get(), "srcw", 16, 0);
    av_opt_set_int(scaler_.get(), "srch", 16, 0);
    av_opt_set_int(scaler_.get(), "dstw", 16, 0);
    av_opt_set_int(scaler_.get(), "dsth", 16, 0);
    av_opt_set_int(scaler_.get(), "sws_flags", scalerFlags, 0);
}

LibraryOptions::~LibraryOptions() = default;

bool LibraryOptions::SetOn(void* object, const std::string& name, const std::string& value,
                           bool* found, int* result) {
    if (!av_opt_find(object, name.c_str(), nullptr, 0, 0)) {
        return false;
    }
    *found = true;
    *result = av_opt_set(object, name.c_str(), value.c_str(), 0);
    return true;
}

int LibraryOptions::SetLibraryOption(const std::string& name, const std::string& value) {
    int result = 0;
    for (const TranslatedOption& option : TranslateLegacyOption(name, value)) {
        switch (option.scope) {
            case TranslatedOption::Scope::Generic:
                if (SetGenericOption(option.name, option.value) < 0) {
                    result = -1;
                }
                break;
            case TranslatedOption::Scope::VideoEncoder:
                videoEncoder_.emplace_back(option.name, option.value);
                break;
            case TranslatedOption::Scope::Muxer:
                muxer_.emplace_back(option.name, option.value);
                break;
        }
    }
    return result;
}

int LibraryOptions::SetGenericOption(const std::string& name, const std::string& value) {
    bool found = false;
    int result = 0;
    std::string acceptedName = name;

    const AVOption* option = av_opt_find(codec_[0].get(), name.c_str(), nullptr, 0, 0);
    for (int type = 0; option && type < 5; ++type) {
        if ((option->flags & kTypeMasks[type]) != kTypeMasks[type]) {
            continue;
        }
        if (type != 0 && VideoOnlyLegacyOption(name)) {
            continue;
        }
        found = true;
        result =
            av_opt_set(codec_[static_cast<size_t>(type)].get(), name.c_str(), value.c_str(), 0);
        if (result < 0) {
            break;
        }
    }
    if (!found) {
        SetOn(format_.get(), name, value, &found, &result) ||
            SetOn(scaler_.get(), name, value, &found, &result);
    }
    if (!found && name.size() > 1 && std::strchr("avs", name[0])) {
        const int type = name[0] == 'a'
                             ? AVMEDIA_TYPE_AUDIO
                             : (name[0] == 'v' ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_SUBTITLE);
        acceptedName = name.substr(1);
        SetOn(codec_[static_cast<size_t>(type)].get(), acceptedName, value, &found, &result);
    }
    if (found && result < 0) {
        platform::Messages().ShowError("Invalid value for Option!");
        return -1;
    }
    if (!found) {
        // Perhaps an option of a particular encoder or muxer: they take what they know.
        videoEncoder_.emplace_back(name, value);
        muxer_.emplace_back(name, value);
        return -1;
    }
    Remember(acceptedName);
    return 0;
}

void LibraryOptions::Remember(const std::string& name) {
    for (const std::string& known : accepted_) {
        if (known == name) {
            return;
        }
    }
    accepted_.push_back(name);
}

void LibraryOptions::ApplyLibraryOptions(void* target, void* defaults, int flags) const {
    for (const std::string& name : accepted_) {
        const AVOption* option = av_opt_find(defaults, name.c_str(), nullptr, 0, 0);
        if (!option || (option->flags & flags) != flags) {
            continue;
        }
        uint8_t* text = nullptr;
        if (av_opt_get(defaults, name.c_str(), 0, &text) >= 0 && text) {
            av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text), 0);
        }
        av_free(text);
    }
}

int LibraryOptions::ScalerFlags() const {
    int64_t flags = 0;
    av_opt_get_int(scaler_.get(), "sws_flags", 0, &flags);
    return static_cast<int>(flags);
}

}  // namespace tw::engine
