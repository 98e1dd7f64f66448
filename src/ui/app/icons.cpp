#include "app/icons.h"

#include <QFile>

#include "app/program_info.h"

namespace tw::ui {

QIcon ThemeIcon(const QString& name) {
    const QString bundled = QStringLiteral(":/icons/%1.svg").arg(name);
    if (QFile::exists(bundled)) {
        return QIcon::fromTheme(name, QIcon(bundled));
    }
    return QIcon::fromTheme(name);
}

QIcon ApplicationIcon() {
    return QIcon::fromTheme(QString::fromLatin1(kApplicationId),
                            QIcon(QStringLiteral(":/icons/application.svg")));
}

}  // namespace tw::ui
