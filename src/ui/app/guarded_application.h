#pragma once

// The program's application object. An exception that leaves an event handler would end the
// program (Qt cannot carry it through its event loop): every event passes through here, and one
// that escapes is written to stderr, shown in an error box once the event loop is back, and the
// program goes on. Handlers should catch what they expect; this is the last line.

#include <QApplication>
#include <string>

namespace tw::ui {

class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Report(QObject* receiver, const QEvent* event, const std::string& what);

    // Set while an error box of this guard is on its way or shown: a handler that fails on
    // every repaint must not pile boxes up.
    bool reporting_ = false;
};

}  // namespace tw::ui
