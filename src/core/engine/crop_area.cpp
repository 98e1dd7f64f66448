#include "engine/crop_area.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <charconv>

#include "util/format.h"

namespace tw::engine {

std::optional<CropArea> ParseCropArea(std::string_view text) {
    if (text.empty()) {
        return CropArea{};
    }
    int values[4] = {};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != ':') {
                return std::nullopt;
            }
            ++p;
        }
        const auto result = std::from_chars(p, end, values[i]);
        if (result.ec != std::errc{} || result.ptr == p || values[i] < 0) {
            return std::nullopt;
        }
        p = result.ptr;
    }
    if (p != end) {
        return std::nullopt;
    }
    return CropArea{values[0], values[1], values[2], values[3]};
}

std::string CropAreaText(const CropArea& area) {
    return FormatPrintf("%d:%d:%d:%d", area.top, area.bottom, area.left, area.right);
}

std::optional<CropArea> FitCropArea(const CropArea& area, int width, int height, int pixelFormat) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixelFormat));
    const int columnStep = descriptor ? 1 << descriptor->log2_chroma_w : 1;
    const int rowStep = descriptor ? 1 << descriptor->log2_chroma_h : 1;
    const auto down = [](int value, int step) { return value / step * step; };
    const CropArea fitted{down(area.top, rowStep), down(area.bottom, rowStep),
                          down(area.left, columnStep), down(area.right, columnStep)};
    // Sums in 64 bits: the stored numbers come from the user.
    const long long keptWidth = static_cast<long long>(width) - fitted.left - fitted.right;
    const long long keptHeight = static_cast<long long>(height) - fitted.top - fitted.bottom;
    if (keptWidth < 2 || keptHeight < 2) {
        return std::nullopt;
    }
    return fitted;
}

}  // namespace tw::engine
