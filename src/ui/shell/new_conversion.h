#pragma once

// The entry into the new-conversion wizard. The main window (its New Conversion command, dropped
// files, files handed over by another start) asks here; the wizard installs itself with one call
// at start-up, and tests install a function that returns settings made in the test. Until
// something is installed the New Conversion command is disabled. UI thread only.

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "tasks/conversion_settings.h"

class QWidget;

namespace tw::ui {

// One request per task to add.
using ConversionRequests = std::vector<std::unique_ptr<TConversionSettings>>;

// Runs the wizard modally with these sources pre-set (none, one, or several converted alike);
// the new requests on OK, none on Cancel.
using NewConversionHook =
    std::function<ConversionRequests(QWidget* parent, const QStringList& sourceFiles)>;

bool HasNewConversion();
ConversionRequests ExecuteNewConversion(QWidget* parent, const QStringList& sourceFiles);

// Installs the wizard for the life of this object (the program keeps one for its whole run),
// then puts the previous one back.
class ScopedNewConversion {
public:
    explicit ScopedNewConversion(NewConversionHook hook);
    ~ScopedNewConversion();
    ScopedNewConversion(const ScopedNewConversion&) = delete;
    ScopedNewConversion& operator=(const ScopedNewConversion&) = delete;

private:
    NewConversionHook previous_;
};

}  // namespace tw::ui
