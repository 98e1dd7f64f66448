// Tidewell Video Converter, the desktop program.
//
// Start-up order: the application object, the configuration, the data module (task database
// and profiles), the main window, maximised, and the event loop. A second start for the same
// configuration hands its files to the running window and ends. With --player the program is
// only the player window, on its own: no database, no single instance.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <string_view>

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
#include "util/version_text.h"
#include "wizard/form_new_conversion.h"

namespace {

using namespace tw;
using namespace tw::ui;

// The files named on the command line, as absolute paths (the running instance may have
// another working folder).
QStringList SourceArguments(const QCommandLineParser& parser) {
    QStringList files;
    for (const QString& argument : parser.positionalArguments()) {
        const QUrl url(argument);
        files << QFileInfo(url.isLocalFile() ? url.toLocalFile() : argument).absoluteFilePath();
    }
    return files;
}

int RunPlayer(const QString& file) {
    QtUiDispatcher uiThread;
    platform::ScopedDispatcher installDispatcher(uiThread);
    QtMessageService messages(uiThread);
    platform::ScopedMessageService installMessages(messages);
    OpenPlayerWindow(file);
    return QApplication::exec();
}

int Run(SingleInstance& instance, const QStringList& sourceFiles) {
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
        QObject::connect(&instance, &SingleInstance::FilesReceived, &window,
                         &TFormMain::OpenFromOutside);
        window.showMaximized();
        if (!sourceFiles.isEmpty()) {
            QTimer::singleShot(0, &window,
                               [&window, sourceFiles] { window.NewConversion(sourceFiles); });
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

// The options the program takes, for both the text answers and the full start.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption player{QStringLiteral("player"),
                              QStringLiteral("Play the file in the player window alone.")};

    CommandLine() {
        parser.setApplicationDescription(QString::fromLatin1(kSlogan));
        parser.addHelpOption();
        parser.addOption(version);
        parser.addPositionalArgument(
            QStringLiteral("files"),
            QStringLiteral(
                "Media files to open in a new conversion (several are converted alike)."),
            QStringLiteral("[file...]"));
        parser.addOption(player);
    }
};

void SetProgramIdentity() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    // No display name: X11 would append it to every caption, and the main window's caption
    // already starts with the program title.
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion()));
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganization));
}

// Help and version need no display: they are answered before the window system is opened, so
// they work over ssh, in a terminal without a desktop and in a package build.
bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            return false;
        }
        // --help-all lists the window system's options too, and so takes the full start.
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "-v" || arg == "--version") {
            return true;
        }
    }
    return false;
}

int AnswerWithText(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SetProgramIdentity();
    CommandLine commandLine;
    // Help, and a wrong option, are printed and end the program here.
    commandLine.parser.process(app);
    std::fputs(DesktopVersionText().c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (AsksForTextOnly(argc, argv)) {
        return AnswerWithText(argc, argv);
    }
    GuardedApplication app(argc, argv);
    SetProgramIdentity();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
    QApplication::setWindowIcon(ApplicationIcon());

    CommandLine commandLine;
    commandLine.parser.process(app);
    const QStringList sourceFiles = SourceArguments(commandLine.parser);
    if (commandLine.parser.isSet(commandLine.player)) {
        return RunPlayer(sourceFiles.value(0));
    }

    // One program per configuration: a second start hands its files over and ends. Listening
    // starts at once; what arrives before the window stands waits in the event loop.
    SingleInstance instance(QString::fromStdString(TAVConfiguration::ConfigFolder()));
    if (instance.HandOver(sourceFiles)) {
        return 0;
    }
    instance.Listen();
    return Run(instance, sourceFiles);
}
