#pragma once

// What every node and task reaches outside itself: the database, the user's preferences, the
// category tree, the alert and power services and the UI thread. The program (or a test)
// owns these and keeps them alive longer than every node and task.

#include "platform/power_service.h"
#include "platform/ui_dispatcher.h"
#include "tasks/task_views.h"

namespace tw {

namespace platform {
class WorkPool;
}

class TPersistentManager;
class TAVConfiguration;
class TConvertingNode;

struct TTaskEnvironment {
    TPersistentManager* Persistence = nullptr;     // required
    TAVConfiguration* Configuration = nullptr;     // required: ShowAlert, ShutdownWhenDone
    CategoryTreeView* ExplorerTree = nullptr;      // required once tasks complete or repaint
    AlertService* Alerts = nullptr;                // none: completions show no alert
    platform::PowerService* Power = nullptr;       // none: shutdown-when-done does nothing
    platform::UiDispatcher* Dispatcher = nullptr;  // none: the installed dispatcher
    // Where a restart waits for the previous run to end; none: on the UI thread.
    platform::WorkPool* Background = nullptr;
    // The program's node of unfinished tasks, set by the category tree that holds it.
    TConvertingNode* Converting = nullptr;

    platform::UiDispatcher& UiThread() const {
        return Dispatcher ? *Dispatcher : platform::Dispatcher();
    }
};

}  // namespace tw
