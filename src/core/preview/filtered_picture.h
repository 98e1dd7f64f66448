#pragma once

// One picture through a filter chain, to show what a filter will do before it is applied: the
// filter dialogs draw the preview's current picture this way as the user changes the values.

#include <string>

#include "media/av_ptr.h"

namespace tw::preview {

// The BGRA picture (as the preview hands it out, shown at seconds of the source) after the chain
// (in its stored form); null when the chain does not build or gives no picture. UI thread; the
// work is one picture's.
media::FramePtr FilterPicture(const AVFrame& picture, double seconds, const std::string& chainText);

}  // namespace tw::preview
