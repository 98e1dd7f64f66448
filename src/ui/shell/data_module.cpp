#include "shell/data_module.h"

#include "platform/message_service.h"
#include "profiles/profile_catalogue.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::ui {

namespace {

platform::UiDispatcher& UiThreadOf(const ShellServices& services) {
    TW_ASSERT(services.uiThread != nullptr);
    return *services.uiThread;
}

}  // namespace

TdmGlobal::TdmGlobal(TAVConfiguration& configuration, const ShellServices& services)
    : configuration_(configuration),
      profiles_(CreateBuiltInCatalogue()),
      background_(UiThreadOf(services)) {
    persistence_ = std::make_unique<TPersistentManager>(
        TAVConfiguration::ConfigFolder(), configuration.OutputFolder(), services.uiThread);
    try {
        LoadUserProfiles(*profiles_, UserProfileFileName(TAVConfiguration::ConfigFolder()));
    } catch (const EAVError& e) {
        // The built-in catalogue serves; the program starts all the same.
        platform::Messages().ShowError(e.what());
    }
    environment_.Persistence = persistence_.get();
    environment_.Configuration = &configuration_;
    environment_.Alerts = services.alerts;
    environment_.Power = services.power;
    environment_.Dispatcher = services.uiThread;
    environment_.Background = &background_;
}

TdmGlobal::~TdmGlobal() = default;

}  // namespace tw::ui
