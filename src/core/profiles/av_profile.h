#pragma once

// A profile: a named preset for one target (a device, a container or a disc standard) that
// writes its settings into a converter's options tree. Profiles live in a TAVProfileList, which
// owns them; a profile remembers the list it is in (none at first) but never owns it.
//
// Classes:
//   TAVProfile                 abstract base: Description, Extension, Category
//     TAVCustomAudioProfile    audio-only preset from plain values (custom_audio_profile.h)
//       TAVCustomVideoProfile  adds video values
//     TAVTargetProfile         disc or tape standard (target_profiles.h)
//       TAVVcdProfile, TAVSVcdProfile, TAVDvdProfile, TAVDvProfile, TAVDv50Profile
//     TAVImageProfile          still-image sequence (target_profiles.h)
//     TAVX264Profile           a named set of H.264 encoder settings (x264_profile.h)
// All of it is used from the UI thread only.

#include <string>
#include <string_view>

#include "util/persistent.h"

namespace tw {

class TAVConvertOptions;
class TAVConverter;
class TAVProfileList;
class TIniFile;

// The INI section every profile key lives in.
inline constexpr std::string_view kProfileSection = "Profile";

class TAVProfile : public TPersistent {
    TW_REF_PROPERTY(std::string, Description)
    TW_REF_PROPERTY(std::string, Category)

public:
    ~TAVProfile() override = default;

    const PropertyTable& Properties() const override;

    // The component name (for example "pfVcd"); not a published property.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& value) { name_ = value; }

    // The file-name extension of targets, dot included; image profiles carry a number in front
    // of the dot ("1.jpg").
    const std::string& Extension() const { return extension_; }
    void SetExtension(const std::string& value) { extension_ = value; }

    // Whether the profile is listed under category: its Category equals it ignoring case. An
    // empty Category is listed nowhere.
    bool InCategory(std::string_view category) const;

    // The list the profile is in, or null.
    TAVProfileList* ProfileList() const { return list_; }
    // Position in its list, -1 without a list.
    int Index() const;
    // Moves the profile to index, clamped to the list; nothing without a list.
    void SetIndex(int index);
    // Leaves the current list and is appended to list (which takes the profile over). The
    // profile must be in a list: a profile outside one is handed over with TAVProfileList::Add.
    void SetProfileList(TAVProfileList& list);

    // Writes the profile's keys, each followed by the decimal number, into section "Profile".
    virtual void SaveToIni(TIniFile& ini, int number) const;
    // Reads them back; every key that is missing (or does not hold a valid value) keeps the
    // current value.
    virtual void LoadFromIni(const TIniFile& ini, int number);

    // Writes the profile into the options; changes only the values the class names. Always
    // true.
    virtual bool ApplyTo(TAVConvertOptions& options) const = 0;
    // The same on a converter's ConvertOptions.
    bool ApplyTo(TAVConverter& converter) const;

protected:
    TAVProfile() = default;
    TAVProfile(std::string description, std::string extension);

    static std::string Key(std::string_view name, int number);

private:
    friend class TAVProfileList;

    std::string name_;
    std::string extension_;
    TAVProfileList* list_ = nullptr;
};

}  // namespace tw
