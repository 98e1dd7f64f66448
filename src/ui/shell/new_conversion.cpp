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

std::unique_ptr<TConversionSettings> ExecuteNewConversion(QWidget* parent,
                                                          const QString& sourceFile) {
    if (!HasNewConversion()) {
        return nullptr;
    }
    return Installed()(parent, sourceFile);
}

ScopedNewConversion::ScopedNewConversion(NewConversionHook hook)
    : previous_(std::move(Installed())) {
    Installed() = std::move(hook);
}

ScopedNewConversion::~ScopedNewConversion() {
    Installed() = std::move(previous_);
}

}  // namespace tw::ui
