#pragma once

// The desktop program on a temporary configuration folder, for GUI tests and screenshots: a
// real configuration, task database, data module and main window on the Qt event loop; the
// desktop, the modal dialogs, the file dialogs, the wizard and the power switch are stand-ins
// the test controls. A second ShellWorld over the same folder is a restart of the program.

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/dialog_runner.h"
#include "app/file_dialog_service.h"
#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "desktop/desktop_services.h"
#include "desktop/notification_bus.h"
#include "desktop/task_alerts.h"
#include "shell/data_module.h"
#include "shell/frame_explorer.h"
#include "shell/frame_info.h"
#include "shell/frame_list.h"
#include "shell/main_window.h"
#include "shell/new_conversion.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "tasks/configuration.h"

namespace tw::test {

class RecordingDesktop : public ui::DesktopServices {
public:
    bool OpenUrl(const QUrl& url) override {
        urls.push_back(url);
        return true;
    }
    bool ShowItems(const QStringList& files) override {
        shown += files;
        return fileManager;
    }

    bool fileManager = true;  // false: as if no file manager answered
    std::vector<QUrl> urls;
    QStringList shown;
};

class FakeNotificationBus : public ui::NotificationBus {
    Q_OBJECT

public:
    void Notify(const Notification& notification, Reply reply) override {
        sent.push_back(notification);
        reply(available ? std::optional<uint>(++lastId) : std::nullopt);
    }
    void Close(uint id) override { closed.push_back(id); }
    void Invoke(uint id, const QString& action) { emit ActionInvoked(id, action); }

    bool available = true;  // false: as if no notification service answered
    uint lastId = 0;
    std::vector<Notification> sent;
    std::vector<uint> closed;
};

// Handlers for ScriptedDialogRunner: click the button with this object name, or a message
// box's standard button.
ui::ScriptedDialogRunner::Handler Click(const char* buttonName);
ui::ScriptedDialogRunner::Handler Answer(QMessageBox::StandardButton button);

// A request as the wizard makes it. realTime: converts no faster than it plays, so that a test
// can act while it runs.
std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target,
                                             int categoryId = 0, bool realTime = false);

// Drags the files onto the main window's task list and, when the drag is accepted, drops them.
bool DropFiles(ui::TFormMain& window, const QStringList& files);

class ShellWorld {
public:
    explicit ShellWorld(const std::filesystem::path& home);
    ~ShellWorld();

    ui::TFormMain& Window() { return *window; }
    QAction* Action(const char* name);
    // Triggers the action as a user would: after the idle-time update of the enable rules.
    void Trigger(const char* name);
    // Triggers New Conversion with the wizard answering this request; returns the new task.
    TAVTask& AddTask(std::unique_ptr<TConversionSettings> settings);
    TConvertingNode& Converting();
    // The tasks the list shows, top to bottom.
    std::vector<TAVTask*> Rows();
    // The texts of the error boxes shown so far.
    QStringList Errors() const;
    // Serves the event loop until done holds.
    bool WaitFor(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    ScopedEnv configHome_;
    ScopedEnv videos_;
    ScopedEnv worker_{"TIDEWELL_WORKER", TW_CLI_PATH};

public:
    ui::QtUiDispatcher dispatcher;
    ui::QtMessageService messages{dispatcher};
    ui::ScriptedDialogRunner dialogs;
    ui::QueuedFileDialogService fileDialogs;
    RecordingDesktop desktop;
    FakeNotificationBus notifications;
    RecordingPowerService power;
    // What the wizard hands back, in order (none: Cancel), and the sources it was opened with
    // (several joined by '|').
    std::deque<std::unique_ptr<TConversionSettings>> wizardAnswers;
    QStringList wizardSources;

private:
    platform::ScopedDispatcher installDispatcher_{dispatcher};
    platform::ScopedMessageService installMessages_{messages};
    ui::ScopedDialogRunner installDialogs_{dialogs};
    ui::ScopedFileDialogService installFileDialogs_{fileDialogs};
    ui::ScopedDesktopServices installDesktop_{desktop};
    ui::ScopedNewConversion installWizard_;

public:
    ui::DesktopAlertService alerts{notifications};
    TAVConfiguration configuration;
    std::unique_ptr<ui::TdmGlobal> data;
    std::unique_ptr<ui::TFormMain> window;
};

}  // namespace tw::test
