#pragma once

// The part of the picture a conversion keeps: how many rows and columns come off each side of
// the picture as it is shown (turned upright). Stored in TVideoOptions::Crop as "T:B:L:R", or
// "auto" for the black bars a run finds in the source itself (black_bar_detection.h).

#include <optional>
#include <string>
#include <string_view>

namespace tw::engine {

struct CropArea {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;

    bool Empty() const { return top == 0 && bottom == 0 && left == 0 && right == 0; }
    bool operator==(const CropArea&) const = default;
};

inline constexpr std::string_view kAutoCrop = "auto";

// "T:B:L:R" with four whole numbers of at least 0; nullopt for any other text. An empty text is
// no crop.
std::optional<CropArea> ParseCropArea(std::string_view text);
std::string CropAreaText(const CropArea& area);

// The area brought to what the pixel format (the library's number) can cut: sides in whole chroma
// samples, each rounded down so that no picture is lost. nullopt when it leaves less than two
// rows or columns of a width x height picture.
std::optional<CropArea> FitCropArea(const CropArea& area, int width, int height, int pixelFormat);

}  // namespace tw::engine
