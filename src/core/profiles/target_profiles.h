#pragma once

// Disc and tape standards (VCD, SVCD, DVD, DV, DV50) and the still-image sequence.

#include "profiles/av_profile.h"
#include "profiles/profile_tables.h"

namespace tw {

// A standard with a television system; the system gives the frame rate and, for most, the
// frame size.
class TAVTargetProfile : public TAVProfile {
    TW_VALUE_PROPERTY(TAVTarget, Target, TAVTarget::pal)

public:
    const PropertyTable& Properties() const override;

protected:
    using TAVProfile::TAVProfile;
    bool IsPal() const { return Target_ == TAVTarget::pal; }
};

class TAVVcdProfile : public TAVTargetProfile {
public:
    TAVVcdProfile() : TAVTargetProfile("VCD", ".mpg") {}
    const char* ClassName() const override { return "TAVVcdProfile"; }
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

class TAVSVcdProfile : public TAVTargetProfile {
public:
    TAVSVcdProfile() : TAVTargetProfile("SVCD", ".mpg") {}
    const char* ClassName() const override { return "TAVSVcdProfile"; }
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

class TAVDvdProfile : public TAVTargetProfile {
public:
    TAVDvdProfile() : TAVTargetProfile("DVD", ".vob") {}
    const char* ClassName() const override { return "TAVDvdProfile"; }
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

// Sets container, size, pixel format and audio rate; the dv muxer picks the encoders.
class TAVDvProfile : public TAVTargetProfile {
public:
    TAVDvProfile() : TAVTargetProfile("DV", ".dv") {}
    const char* ClassName() const override { return "TAVDvProfile"; }
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

// 50 Mbit DV: 4:2:2 pixels and the standard's rate, nothing else.
class TAVDv50Profile : public TAVTargetProfile {
public:
    TAVDv50Profile() : TAVTargetProfile("DV50", ".dv") {}
    const char* ClassName() const override { return "TAVDv50Profile"; }
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

// A still-image sequence; the image format follows from the target file's extension.
class TAVImageProfile : public TAVProfile {
    // Descriptive only.
    TW_VALUE_PROPERTY(TAVImageType, ImageType, TAVImageType::bitmap)

public:
    TAVImageProfile() : TAVProfile("Image Sequence Profile", "") {}
    const char* ClassName() const override { return "TAVImageProfile"; }
    const PropertyTable& Properties() const override;
    // One thread; nothing else.
    bool ApplyTo(TAVConvertOptions& options) const override;
    using TAVProfile::ApplyTo;
};

}  // namespace tw
