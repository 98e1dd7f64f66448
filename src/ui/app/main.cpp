// Tidewell Video Converter, the desktop program.
//
// Start-up order: the application object, the configuration, the data module (task database
// and profiles), the main window, maximised, and the event loop. A second start for the same
// configuration hands its file to the running window and ends. With --player the program is
// only the player window, on its own: no database, no single instance.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include "app/guarded_application.h"
#include "app/icons.h"
#include "app/program_info.h"
#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "app/single_instance.h"
#include "desktop/notification_bus.h"
#include "desktop/power_off.h"
#include "desktop/task_alerts.h"
#include "preview/player_window.h"
#include "shell/data_module.h"
#include "shell/main_window.h"
#include "tasks/configuration.h"
#include "tasks/node_object.h"
#include "util/av_error.h"
#include "wizard/form_new_conversion.h"

namespace {

using namespace tw;
using namespace tw::ui;

// The file named on the command line, as an absolute path (the running instance may have
// another working folder); empty when none was given.
QString SourceArgument(const QCommandLineParser& parser) {
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return {};
    }
    const QUrl url(files.front());
    const QString file = url.isLocalFile() ? url.toLocalFile() : files.front();
    return QFileInfo(file).absoluteFilePath();
}

int RunPlayer(const QString& file) {
    QtUiDispatcher uiThread;
    platform::ScopedDispatcher installDispatcher(uiThread);
    QtMessageService messages(uiThread);
    platform::ScopedMessageService installMessages(messages);
    OpenPlayerWindow(file);
    return QApplication::exec();
}

int Run(SingleInstance& instance, const QString& sourceFile) {
    QtUiDispatcher uiThread;
    platform::ScopedDispatcher installDispatcher(uiThread);
    QtMessageService messages(uiThread);
    platform::ScopedMessageService installMessages(messages);

    // Its priority is the conversions' (each run's worker takes it); the window keeps its own.
    TAVConfiguration configuration;
    try {
        configuration.Load();
        DBusNotificationBus notifications;
        DesktopAlertService alerts(notifications);
        platform::SystemPowerService systemctl;
        LogindPowerService logind(systemctl);
        CountdownPowerService power(logind);
        TdmGlobal data(configuration, ShellServices{&alerts, &power, &uiThread});
        ScopedNewConversion wizard(
            NewConversionWizard(data.Profiles(), configuration, &data.Environment()));
        TFormMain window(data);
        QObject::connect(&instance, &SingleInstance::FileReceived, &window,
                         &TFormMain::OpenFromOutside);
        window.showMaximized();
        if (!sourceFile.isEmpty()) {
            QTimer::singleShot(0, &window,
                               [&window, sourceFile] { window.NewConversion(sourceFile); });
        }
        const int result = QApplication::exec();
        try {
            configuration.Save();
        } catch (const EAVError& e) {
            // The session's work is done and stored; only the preferences could not be.
            platform::Messages().ShowError(e.what());
        }
        return result;
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    // No display name: X11 would append it to every caption, and the main window's caption
    // already starts with the program title.
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setOrganizationName(QString::fromLatin1(kOrganization));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
    QApplication::setWindowIcon(ApplicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kSlogan));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A media file to open in a new conversion."),
                                 QStringLiteral("[file]"));
    const QCommandLineOption playerOption(
        QStringLiteral("player"), QStringLiteral("Play the file in the player window alone."));
    parser.addOption(playerOption);
    parser.process(app);
    const QString sourceFile = SourceArgument(parser);
    if (parser.isSet(playerOption)) {
        return RunPlayer(sourceFile);
    }

    // One program per configuration: a second start hands its file over and ends. Listening
    // starts at once; what arrives before the window stands waits in the event loop.
    SingleInstance instance(QString::fromStdString(TAVConfiguration::ConfigFolder()));
    if (instance.HandOver(sourceFile)) {
        return 0;
    }
    instance.Listen();
    return Run(instance, sourceFile);
}
