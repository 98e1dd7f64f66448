#include "app/dialog_runner.h"

#include <QDialog>
#include <QMessageBox>

#include "app/tab_order.h"

namespace tw::ui {

namespace {
DialogRunner* installed = nullptr;
}  // namespace

int QtDialogRunner::Exec(QDialog& dialog) {
    FollowLayoutTabOrder(dialog);
    return dialog.exec();
}

int ScriptedDialogRunner::Exec(QDialog& dialog) {
    const auto* box = qobject_cast<const QMessageBox*>(&dialog);
    shown_.push_back({dialog.windowTitle(), box ? box->text() : QString()});
    FollowLayoutTabOrder(dialog);
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (!handlers_.empty()) {
        Handler handler = std::move(handlers_.front());
        handlers_.pop_front();
        handler(dialog);
    }
    const int result = dialog.result();
    dialog.hide();
    return result;
}

DialogRunner& Dialogs() {
    static QtDialogRunner qtRunner;
    return installed ? *installed : qtRunner;
}

ScopedDialogRunner::ScopedDialogRunner(DialogRunner& runner) : previous_(installed) {
    installed = &runner;
}

ScopedDialogRunner::~ScopedDialogRunner() {
    installed = previous_;
}

}  // namespace tw::ui
