#include "wizard/filter_dialogs/filter_editing.h"

#include "app/dialog_runner.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "util/format.h"
#include "wizard/filter_dialogs/cleanup_filter_dialogs.h"
#include "wizard/filter_dialogs/logo_filter_dialog.h"
#include "wizard/filter_dialogs/overlay_text_dialog.h"
#include "wizard/filter_dialogs/std_filter_dialog.h"
#include "wizard/filter_dialogs/subtitle_filter_dialog.h"

namespace tw::ui {

namespace {

// What the dialog shows the filter on.
struct Scene {
    preview::SamplePtr picture;
    std::vector<std::string> earlierFilters;
};

template <class Dialog, class Filter>
bool RunDialog(QWidget* parent, Filter& filter, bool fromFilter, Scene scene) {
    Dialog dialog(parent);
    if (fromFilter) {
        dialog.SetValues(filters::ValuesOf(filter));
    }
    dialog.SetPicture(std::move(scene.picture), std::move(scene.earlierFilters));
    if (Dialogs().Exec(dialog) != QDialog::Accepted) {
        return false;
    }
    filters::CopyTo(dialog.Values(), filter);
    return true;
}

bool Run(QWidget* parent, TAVFilter& filter, bool fromFilter, Scene scene) {
    if (auto* standard = dynamic_cast<TVideoStdFilter*>(&filter)) {
        return RunDialog<TFormStdFilter>(parent, *standard, fromFilter, std::move(scene));
    }
    if (auto* logo = dynamic_cast<TLogoFilter*>(&filter)) {
        return RunDialog<TFormLogoFilter>(parent, *logo, fromFilter, std::move(scene));
    }
    if (auto* text = dynamic_cast<TOverlayTextFilter*>(&filter)) {
        return RunDialog<TFormOverlayText>(parent, *text, fromFilter, std::move(scene));
    }
    if (auto* denoise = dynamic_cast<TDenoiseFilter*>(&filter)) {
        return RunDialog<TFormDenoiseFilter>(parent, *denoise, fromFilter, std::move(scene));
    }
    if (auto* sharpen = dynamic_cast<TSharpenFilter*>(&filter)) {
        return RunDialog<TFormSharpenFilter>(parent, *sharpen, fromFilter, std::move(scene));
    }
    auto* subtitles = dynamic_cast<TSubtitleFilter*>(&filter);
    TW_ASSERT(subtitles != nullptr);
    return RunDialog<TFormSubtitleFilter>(parent, *subtitles, fromFilter, std::move(scene));
}

}  // namespace

bool SetupFilter(QWidget* parent, TAVFilter& filter, preview::SamplePtr picture,
                 std::vector<std::string> earlierFilters) {
    return Run(parent, filter, false, {std::move(picture), std::move(earlierFilters)});
}

bool EditFilter(QWidget* parent, TAVFilter& filter, preview::SamplePtr picture,
                std::vector<std::string> earlierFilters) {
    return Run(parent, filter, true, {std::move(picture), std::move(earlierFilters)});
}

}  // namespace tw::ui
