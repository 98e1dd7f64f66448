#pragma once

#include "util/persistent.h"

namespace tw {

// A rational number; a fresh one is 25/1 (the default frame rate).
class TRational : public TPersistent {
    TW_VALUE_PROPERTY(int, num, 25)
    TW_VALUE_PROPERTY(int, den, 1)

public:
    TRational() = default;
    TRational(int numerator, int denominator) : num_(numerator), den_(denominator) {}
    const char* ClassName() const override { return "TRational"; }
    const PropertyTable& Properties() const override;
    void Assign(const TPersistent& source) override;
};

}  // namespace tw
