#pragma once

// The entry into the new-conversion wizard. The main window (its New Conversion command, a
// dropped file, a file handed over by another start) asks here; the wizard installs itself with
// one call at start-up, and tests install a function that returns settings made in the test.
// Until something is installed the New Conversion command is disabled. UI thread only.

#include <QString>
#include <functional>
#include <memory>

#include "tasks/conversion_settings.h"

class QWidget;

namespace tw::ui {

// Runs the wizard modally with sourceFile pre-set (empty: none); the new request on OK, none
// on Cancel.
using NewConversionHook =
    std::function<std::unique_ptr<TConversionSettings>(QWidget* parent, const QString& sourceFile)>;

bool HasNewConversion();
std::unique_ptr<TConversionSettings> ExecuteNewConversion(QWidget* parent,
                                                          const QString& sourceFile);

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
