#include "dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/dialog_runner.h"
#include "app/icons.h"
#include "app/program_info.h"
#include "desktop/desktop_services.h"
#include "util/version_text.h"

namespace tw::ui {

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kProgramTitle)));

    const int iconSize = fontMetrics().height() * 5;
    auto* icon = new QLabel;
    icon->setPixmap(ApplicationIcon().pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QString::fromLatin1(kProgramTitle));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);

    auto* version =
        new QLabel(QStringLiteral("Version %1").arg(QString::fromLatin1(ProgramVersion())));
    version->setObjectName(QStringLiteral("lblVersion"));
    // The libraries' lines of --version: the first, the program's own, is the two above.
    QStringList libraries = QString::fromStdString(DesktopVersionText())
                                .toHtmlEscaped()
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    libraries.removeFirst();
    auto* text = new QLabel(QStringLiteral("<p>%1.</p>"
                                           "<p>Licensed under the <a href=\"%2\">%3</a>.</p>"
                                           "<p><a href=\"%4\">%4</a></p>"
                                           "<p><small>Runs on %5.</small></p>")
                                .arg(QString::fromLatin1(kSlogan), QString::fromLatin1(kLicenceUrl),
                                     QString::fromLatin1(kLicence), QString::fromLatin1(kHomePage),
                                     libraries.join(QStringLiteral("<br>"))));
    text->setObjectName(QStringLiteral("lblLicence"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(text, &QLabel::linkActivated, this,
            [](const QString& link) { Desktop().OpenUrl(QUrl(link)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout;
    column->addWidget(title);
    column->addWidget(version);
    column->addSpacing(fontMetrics().height() / 2);
    column->addWidget(text, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(fontMetrics().height());
    row->addLayout(column, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 64);
}

void ExecuteAbout(QWidget* parent) {
    TFormAbout dialog(parent);
    Dialogs().Exec(dialog);
}

}  // namespace tw::ui
