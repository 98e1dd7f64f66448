// The About box names the versions that --version prints.
#include <gtest/gtest.h>

#include <QLabel>

#include "dialogs/about_dialog.h"
#include "util/version_text.h"

namespace tw::test {
namespace {

TEST(AboutDialog, ShowsTheProgramsAndTheLibrariesVersions) {
    ui::TFormAbout dialog;
    EXPECT_EQ(dialog.findChild<QLabel*>("lblVersion")->text(),
              QStringLiteral("Version %1").arg(QString::fromLatin1(ProgramVersion())));
    const QString text = dialog.findChild<QLabel*>("lblLicence")->text();
    EXPECT_TRUE(text.contains(QString::fromStdString(MediaLibraryVersions()).toHtmlEscaped()))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))))
        << text.toStdString();
}

}  // namespace
}  // namespace tw::test
