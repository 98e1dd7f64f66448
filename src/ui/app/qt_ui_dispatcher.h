#pragma once

// The UI thread of the desktop program: work posted by converter threads runs in Qt's event
// loop, in the order it was posted. The thread that creates the dispatcher is the UI thread.

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui_dispatcher.h"

namespace tw::ui {

class QtUiDispatcher : public QObject, public platform::UiDispatcher {
    Q_OBJECT

public:
    explicit QtUiDispatcher(QObject* parent = nullptr);
    ~QtUiDispatcher() override;

    // Any thread. One queued Qt call wakes the loop however many tasks are waiting.
    void Post(std::function<void()> task) override;
    // From another thread: waits until the UI thread has run task; its exception comes back.
    void RunBlocking(std::function<void()> task) override;
    // Runs what is queued now (a converter waiting on the UI thread calls this).
    void ProcessPending() override;
    bool IsUiThread() const override;

private:
    void Drain();

    std::thread::id uiThread_;
    std::mutex mutex_;  // guards queue_ and wakePending_
    std::deque<std::function<void()>> queue_;
    bool wakePending_ = false;
};

}  // namespace tw::ui
