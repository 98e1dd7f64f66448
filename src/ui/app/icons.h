#pragma once

// Icons by their freedesktop names: the desktop's icon theme when it has one, else the picture
// the program brings along (":/icons/<name>.svg").

#include <QIcon>

namespace tw::ui {

QIcon ThemeIcon(const QString& name);
// The program's own icon.
QIcon ApplicationIcon();

}  // namespace tw::ui
