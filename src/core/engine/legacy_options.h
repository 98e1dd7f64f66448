#pragma once

// Library option lines are stored in the words of the library generation the program started
// with (profiles, tasks and settings files carry them). This translates one stored line into
// the options that carry its meaning now: generic codec or format options, or private options
// of the video encoder (libx264's and the MPEG encoders' own) or of the muxer.

#include <string>
#include <vector>

namespace tw::engine {

struct TranslatedOption {
    enum class Scope { Generic, VideoEncoder, Muxer };
    std::string name;
    std::string value;
    Scope scope = Scope::Generic;
};

std::vector<TranslatedOption> TranslateLegacyOption(const std::string& name,
                                                    const std::string& value);

}  // namespace tw::engine
