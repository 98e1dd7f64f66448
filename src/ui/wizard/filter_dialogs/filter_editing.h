#pragma once

// Runs a filter's own dialog: Setup starts from the dialog's initial values, Edit from the
// filter's current ones. On OK the dialog's values are copied into the filter and the answer is
// true; otherwise the filter is left as it was. Dialogs run through the dialog runner.

class QWidget;

namespace tw {
class TAVFilter;
}

namespace tw::ui {

bool SetupFilter(QWidget* parent, TAVFilter& filter);
bool EditFilter(QWidget* parent, TAVFilter& filter);

}  // namespace tw::ui
