#include "app/guarded_application.h"

#include <QTimer>
#include <cstdio>
#include <exception>

#include "platform/message_service.h"

namespace tw::ui {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(receiver, event, e.what());
    } catch (...) {
        Report(receiver, event, "an unknown error");
    }
    return false;
}

void GuardedApplication::Report(QObject* receiver, const QEvent* event, const std::string& what) {
    const QByteArray where = receiver ? (QByteArray(receiver->metaObject()->className()) + " " +
                                         receiver->objectName().toUtf8())
                                      : QByteArray("(none)");
    std::fprintf(stderr, "tidewell-video-converter: an event (%d) for %s failed: %s\n",
                 event ? static_cast<int>(event->type()) : 0, where.constData(), what.c_str());
    if (reporting_) {
        return;
    }
    reporting_ = true;
    // Not from inside the failed handler: the box runs an event loop of its own.
    QTimer::singleShot(0, this, [this, what] {
        platform::Messages().ShowError("Unexpected error: " + what);
        reporting_ = false;
    });
}

}  // namespace tw::ui
