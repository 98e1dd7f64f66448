#pragma once

// How windows run a modal dialog. The program calls exec(); tests install a
// ScriptedDialogRunner that shows the dialog, lets a handler act on it as a user would (fill
// fields, click a button) and returns its result, so no test ever waits on a nested event loop.
// Every dialog of the program, message boxes included, goes through Dialogs().Exec(), which
// also sets the dialog's tab order to its layout's (see tab_order.h).
// UI thread only.

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QDialog;

namespace tw::ui {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows dialog modally and returns its result code (QDialog::Accepted, a message box's
    // standard button, ...).
    virtual int Exec(QDialog& dialog) = 0;
};

class QtDialogRunner : public DialogRunner {
public:
    int Exec(QDialog& dialog) override;
};

// Answers dialogs from a queue of handlers, in order. A handler acts on the shown dialog; the
// result is what the dialog was closed with (Rejected when the handler left it open). A dialog
// that finds the queue empty is rejected. Remembers every dialog it ran.
class ScriptedDialogRunner : public DialogRunner {
public:
    using Handler = std::function<void(QDialog& dialog)>;
    struct Shown {
        QString caption;
        QString text;  // a message box's text
    };

    void Push(Handler handler) { handlers_.push_back(std::move(handler)); }
    int Exec(QDialog& dialog) override;

    const std::vector<Shown>& History() const { return shown_; }
    size_t Pending() const { return handlers_.size(); }

private:
    std::deque<Handler> handlers_;
    std::vector<Shown> shown_;
};

// The installed runner, else a process-wide QtDialogRunner.
DialogRunner& Dialogs();

class ScopedDialogRunner {
public:
    explicit ScopedDialogRunner(DialogRunner& runner);
    ~ScopedDialogRunner();
    ScopedDialogRunner(const ScopedDialogRunner&) = delete;
    ScopedDialogRunner& operator=(const ScopedDialogRunner&) = delete;

private:
    DialogRunner* previous_;
};

}  // namespace tw::ui
