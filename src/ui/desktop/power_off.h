#pragma once

// Powering the computer off when all work is done, the polite way: a countdown the user can
// cancel, then a request to logind that may ask for authorisation and never forces anything.

#include <QObject>
#include <QPointer>

#include "dialogs/shutdown_dialog.h"
#include "platform/power_service.h"

namespace tw::ui {

// org.freedesktop.login1.Manager.PowerOff on the system bus, interactive. Without logind on the
// bus it falls back to the next service (systemctl).
class LogindPowerService : public platform::PowerService {
public:
    explicit LogindPowerService(platform::PowerService& fallback) : fallback_(fallback) {}
    bool PowerOff(std::string* error) override;

private:
    platform::PowerService& fallback_;
};

// Shows the countdown and returns at once; when it runs out or "Shut Down Now" is pressed the
// request goes to the system service, "Cancel" ends it. A failed request is shown as an error.
// UI thread only.
class CountdownPowerService : public QObject, public platform::PowerService {
    Q_OBJECT

public:
    static constexpr int kCountdownSeconds = 60;

    explicit CountdownPowerService(platform::PowerService& system, QObject* parent = nullptr)
        : QObject(parent), system_(system) {}
    ~CountdownPowerService() override;

    bool PowerOff(std::string* error) override;
    // The countdown on screen, if any.
    TFormShutdown* Countdown() const { return countdown_; }

private:
    void Confirmed();

    platform::PowerService& system_;
    QPointer<TFormShutdown> countdown_;
};

}  // namespace tw::ui
