#pragma once

// Runs a filter's own dialog: Setup starts from the dialog's initial values, Edit from the
// filter's current ones. On OK the dialog's values are copied into the filter and the answer is
// true; otherwise the filter is left as it was. With a picture (the preview's), the dialog shows
// it through the filters that come before (their texts, in list order) and this one as the
// values stand. Dialogs run through the dialog runner.

#include <string>
#include <vector>

#include "preview/ff_sample.h"

class QWidget;

namespace tw {
class TAVFilter;
}

namespace tw::ui {

bool SetupFilter(QWidget* parent, TAVFilter& filter, preview::SamplePtr picture = nullptr,
                 std::vector<std::string> earlierFilters = {});
bool EditFilter(QWidget* parent, TAVFilter& filter, preview::SamplePtr picture = nullptr,
                std::vector<std::string> earlierFilters = {});

}  // namespace tw::ui
