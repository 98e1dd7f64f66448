#pragma once

// The wizard over the main window, opened on a film of its own: the scenes of the wizard's
// track lists and trial run.

#include <QImage>
#include <functional>
#include <string>

#include "support/media_generator.h"
#include "wizard/form_new_conversion.h"

namespace tw::screenshots {

// Makes the film of clip at 640x360 (name: its file name), opens the wizard on it with the
// converting tasks behind, waits for the preview, lets arrange set the page up and takes the
// picture of both.
QImage WizardOnFilm(test::ClipDescription clip, const std::string& name,
                    const std::function<void(ui::TFormNewConversion&)>& arrange);

}  // namespace tw::screenshots
