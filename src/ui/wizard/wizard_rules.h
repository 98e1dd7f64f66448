#pragma once

// The new-conversion wizard's decisions, free of widgets: the default target name, when the
// conversion may start, the cut taken from the preview's selection, and what the options tree
// takes when the user finishes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {
class TAVConvertOptions;
class TAVFilter;
class TAVProfile;
}  // namespace tw

namespace tw::ui::wizard {

// The source files the wizard's file dialog offers, in the dialog's "description|patterns" form.
inline constexpr char kSourceFileFilter[] =
    "Video Files(*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov)|"
    "*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov|"
    "Picture Files(*.bmp;*.jpg;*.gif;*.tiff;*.png)|*.bmp;*.jpg;*.gif;*.tiff;*.png|"
    "Audio Files (*.wav;*.mp3)|*.wav;*.mp3|All Files(*.*)|*.*";

// A "description|patterns|description|patterns…" filter as name filters of a file dialog:
// "Video Files (*.flv *.wmv …)". "*.*" becomes "*", so files without an extension show too.
std::vector<std::string> NameFilters(std::string_view filter);

// The target for a file source: the source's name with the profile's extension.
std::string FileSourceTarget(std::string_view sourceFile, std::string_view extension);
// The target for a DVD title: "%s_%d" from the disc's label and the title number, with the
// profile's extension.
std::string DvdSourceTarget(std::string_view label, int titleNumber, std::string_view extension);
// The target's file name in folder (the category's folder). An empty folder leaves the target
// where it is, and a target without a file name stays as it is.
std::string MoveIntoFolder(std::string_view target, std::string_view folder);

// Next and Finish are offered while this holds.
bool ReadyToConvert(bool sourceValid, std::string_view target, bool profileSelected);

// The cut from the preview's selection (seconds of the source). An end of 0 means up to the end
// of the source: no recording time. A selection marked end first is taken in time order, and an
// empty one (end on start) cuts nothing off the end.
struct Cut {
    int64_t startUs = 0;
    std::optional<int64_t> recordingUs;
};
Cut CutOfSelection(int startSeconds, int endSeconds);

// A check of a file the conversion reads: what is wrong with it, empty when it will do. It holds
// its own copy of the name and opens the file, so it runs off the UI thread.
using FileCheck = std::function<std::string()>;

// The checks of the files a filter reads (a logo's picture, a font, a subtitle file). A font
// left empty is the renderer's own and always does.
std::vector<FileCheck> FilterFileChecks(const TAVFilter& filter);

// Threads for a conversion: the configured count exactly; automatic (0) lets each library choose.
int ConversionThreadCount(int configured);

// What Finish does to the options before the wizard closes. filterChain: the filter page's chain
// when finishing from that page; none leaves the options' filter chain as it was.
// keepPictureShape: the preference for pictures of another shape than the profile's frame.
void PrepareFinishOptions(TAVConvertOptions& options, const std::optional<std::string>& filterChain,
                          int configuredThreads, const TAVProfile& profile, bool keepPictureShape);

}  // namespace tw::ui::wizard
