#include "shell/new_conversion.h"

namespace tw::ui {

namespace {

NewConversionHook& Installed() {
    static NewConversionHook hook;
    return hook;
}

}  // namespace

bool HasNewConversion() {
    return static_cast<bool>(Installed());
}

ConversionRequests ExecuteNewConversion(QWidget* parent, const QStringList& sourceFiles) {
    if (!HasNewConversion()) {
        return {};
    }
    return Installed()(parent, sourceFiles);
}

ScopedNewConversion::ScopedNewConversion(NewConversionHook hook)
    : previous_(std::move(Installed())) {
    Installed() = std::move(hook);
}

ScopedNewConversion::~ScopedNewConversion() {
    Installed() = std::move(previous_);
}

}  // namespace tw::ui
