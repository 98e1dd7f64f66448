#include "shell/data_module.h"

#include "platform/message_service.h"
#include "profiles/profile_catalogue.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::ui {

TdmGlobal::TdmGlobal(TAVConfiguration& configuration, const ShellServices& services)
    : configuration_(configuration), profiles_(CreateBuiltInCatalogue()) {
    TW_ASSERT(services.uiThread != nullptr);
    persistence_ = std::make_unique<TPersistentManager>(TAVConfiguration::ConfigFolder(),
                                                        configuration.OutputFolder());
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
}

TdmGlobal::~TdmGlobal() = default;

}  // namespace tw::ui
