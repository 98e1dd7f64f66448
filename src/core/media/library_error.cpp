#include "media/library_error.h"

extern "C" {
#include <libavutil/error.h>
}

namespace tw::media {

std::string LibraryErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace tw::media
