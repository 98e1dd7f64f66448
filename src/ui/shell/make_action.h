#pragma once

// Actions are named as the tests and the accessibility tools find them ("actStartTask").

#include <QAction>

#include "app/icons.h"

namespace tw::ui {

inline QAction* MakeAction(QObject* owner, const char* name, const QString& caption,
                           const char* icon = nullptr) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    if (icon) {
        action->setIcon(ThemeIcon(QString::fromLatin1(icon)));
    }
    return action;
}

}  // namespace tw::ui
