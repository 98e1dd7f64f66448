#pragma once

// The pictures of the task list (by task status) and of the category tree (by node kind), in
// the order of the image indexes the nodes report. A selected row shows them in their own
// colours: the style's selection tint would blend them into the highlight.

#include <QIcon>
#include <vector>

namespace tw::ui {

// 0 converting, 1 paused, 2 stopped or interrupted, 3 finished, 4 failed, 5 waiting.
std::vector<QIcon> TaskStatusIcons();
// 0 the Converting node, 1 a category.
std::vector<QIcon> NodeIcons();

}  // namespace tw::ui
