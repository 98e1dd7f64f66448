#pragma once

// Tab moves through a window's fields in the order its layout shows them: rows top to bottom,
// and within a row (a form's label and field, a grid's columns, a box's items) as laid out,
// buttons last where the layout puts them. Widgets take the order they were created in
// otherwise, which rarely matches what the user sees. UI thread only.

class QWidget;

namespace tw::ui {

// Sets the tab order of every field in window to its layout order, and puts the focus on the
// first field unless the window has given it to one already.
void FollowLayoutTabOrder(QWidget& window);

}  // namespace tw::ui
