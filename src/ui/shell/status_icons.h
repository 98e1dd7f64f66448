#pragma once

// The pictures of the task list (by task status) and of the category tree (by node kind), in
// the order of the image indexes the nodes report.

#include <QIcon>

namespace tw::ui {

// 0 converting, 1 paused, 2 stopped or failed, 3 finished; none otherwise.
QIcon TaskStatusIcon(int imageIndex);
// 0 the Converting node, 1 a category; none otherwise.
QIcon NodeIcon(int imageIndex);

}  // namespace tw::ui
