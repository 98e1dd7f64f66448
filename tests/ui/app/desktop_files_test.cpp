// What an installation puts on the system, checked by the desktop's own validators.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "support/scoped_env.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// Runs the program to its end; its exit code, and its output in *output.
int RunProgram(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        return -1;
    }
    const QString text = QString::fromUtf8(process.readAll());
    if (output) {
        *output = text;
    }
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": " << text.toStdString();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(DesktopFiles, InstallPutsProgramsEntryIconAndMetadataThatValidate) {
    TempFolder prefix;
    const QString root = QString::fromStdString(prefix.Path().string());
    ASSERT_EQ(RunProgram(TW_CMAKE, {"--install", TW_BUILD_DIR, "--prefix", root}), 0);

    const fs::path share = prefix.Path() / "share";
    const fs::path desktop = share / "applications/com.tidewellsoft.VideoConverter.desktop";
    const fs::path metainfo = share / "metainfo/com.tidewellsoft.VideoConverter.metainfo.xml";
    EXPECT_TRUE(fs::exists(prefix.Path() / "bin/tidewell-convert"));
    EXPECT_TRUE(
        fs::exists(share / "icons/hicolor/scalable/apps/com.tidewellsoft.VideoConverter.svg"));
    EXPECT_EQ(RunProgram("desktop-file-validate", {QString::fromStdString(desktop.string())}), 0);
    EXPECT_EQ(RunProgram("appstreamcli",
                         {"validate", "--no-net", QString::fromStdString(metainfo.string())}),
              0);

    QString version;
    const QString program =
        QString::fromStdString((prefix.Path() / "bin/tidewell-video-converter").string());
    EXPECT_EQ(RunProgram(program, {"--version"}, &version), 0);
    EXPECT_TRUE(version.contains("Tidewell Video Converter")) << version.toStdString();
}

}  // namespace
}  // namespace tw::test
