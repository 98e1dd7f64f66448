#include "app/qt_ui_dispatcher.h"

#include "platform/message_service.h"

namespace tw::ui {

QtUiDispatcher::QtUiDispatcher(QObject* parent)
    : QObject(parent), uiThread_(std::this_thread::get_id()) {}

QtUiDispatcher::~QtUiDispatcher() = default;

void QtUiDispatcher::Post(std::function<void()> task) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
        wake = !wakePending_;
        wakePending_ = true;
    }
    if (wake) {
        QMetaObject::invokeMethod(this, &QtUiDispatcher::Drain, Qt::QueuedConnection);
    }
}

void QtUiDispatcher::RunBlocking(std::function<void()> task) {
    if (IsUiThread()) {
        task();
        return;
    }
    platform::PostAndWait(*this, std::move(task));
}

void QtUiDispatcher::ProcessPending() {
    if (IsUiThread()) {
        Drain();
    }
}

bool QtUiDispatcher::IsUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

void QtUiDispatcher::Drain() {
    // One task at a time from the shared queue, so that a task that waits on the UI thread
    // (and drains from inside) keeps the posting order. Only what was queued on entry runs
    // here: busy workers must not starve Qt's own events.
    size_t budget = 0;
    {
        std::lock_guard lock(mutex_);
        budget = queue_.size();
    }
    for (; budget > 0; --budget) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                break;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        // An exception must not unwind through Qt's event loop.
        try {
            task();
        } catch (const std::exception& e) {
            platform::Messages().ShowError(e.what());
        }
    }
    bool again = false;
    {
        std::lock_guard lock(mutex_);
        again = !queue_.empty();
        wakePending_ = again;
    }
    if (again) {
        QMetaObject::invokeMethod(this, &QtUiDispatcher::Drain, Qt::QueuedConnection);
    }
}

}  // namespace tw::ui
