#pragma once

// The program's data: the task database and the profile catalogue with the user's own
// profiles, and the environment every node and task reaches (database, preferences, alert and
// power services, the UI thread, the pool that does slow work off it). Created after the
// configuration and before the main window, freed after it. UI thread only.

#include <memory>

#include "platform/work_pool.h"
#include "profiles/profile_list.h"
#include "tasks/configuration.h"
#include "tasks/persistent_manager.h"
#include "tasks/task_environment.h"

namespace tw::ui {

// What the program (or a test) hands the data module; each must outlive it.
struct ShellServices {
    AlertService* alerts = nullptr;              // none: completions show nothing
    platform::PowerService* power = nullptr;     // none: shutting down when done does nothing
    platform::UiDispatcher* uiThread = nullptr;  // required
};

class TdmGlobal {
public:
    // Opens (on the first start, creates) the task database in the configuration folder and
    // loads the user's profiles when their file exists. Damaged or unreachable files are
    // reported through the message service and worked around (see TPersistentManager and
    // LoadUserProfiles), so the program always starts.
    TdmGlobal(TAVConfiguration& configuration, const ShellServices& services);
    ~TdmGlobal();
    TdmGlobal(const TdmGlobal&) = delete;
    TdmGlobal& operator=(const TdmGlobal&) = delete;

    TAVConfiguration& Configuration() { return configuration_; }
    TAVProfileList& Profiles() { return *profiles_; }
    TPersistentManager& Persistence() { return *persistence_; }
    TTaskEnvironment& Environment() { return environment_; }
    // Opening media, scanning discs, waiting for runs: whatever would make the window wait.
    platform::WorkPool& Background() { return background_; }

private:
    TAVConfiguration& configuration_;
    std::unique_ptr<TAVProfileList> profiles_;
    std::unique_ptr<TPersistentManager> persistence_;
    TTaskEnvironment environment_;
    // Goes first, letting go of work still running without waiting for it.
    platform::WorkPool background_;
};

}  // namespace tw::ui
