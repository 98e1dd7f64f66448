#pragma once

// TAVProfileList: the profiles in list order, which it owns, and the names of the profile
// categories. Profiles are freed from the last to the first when the list goes. UI thread only.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/av_profile.h"
#include "util/persistent.h"

namespace tw {

class TAVProfileList : public TPersistent {
    TW_REF_PROPERTY(TStringList, Categories)

public:
    TAVProfileList() = default;
    ~TAVProfileList() override;

    const char* ClassName() const override { return "TAVProfileList"; }
    const PropertyTable& Properties() const override;

    // The component name ("profileList" for the catalogue).
    const std::string& Name() const { return name_; }
    void SetName(const std::string& value) { name_ = value; }

    int Count() const { return static_cast<int>(items_.size()); }
    // index must lie in 0 .. Count() - 1.
    TAVProfile& Items(int index) const;
    // Position of profile, -1 when it is not in this list.
    int IndexOf(const TAVProfile* profile) const;
    // The first profile whose Description equals description ignoring case, or null.
    TAVProfile* FindByDescription(std::string_view description) const;
    // The profiles listed under a category (Category equal ignoring case), in list order.
    std::vector<TAVProfile*> ProfilesInCategory(std::string_view category) const;
    // The profiles no category lists (the disc and tape standards, or a Category no category
    // has), in list order.
    std::vector<TAVProfile*> ProfilesInNoCategory() const;

    // Appends profile, which must be in no list, and takes it over; returns it.
    TAVProfile& Add(std::unique_ptr<TAVProfile> profile);
    template <class P>
    P& Add(std::unique_ptr<P> profile) {
        P& added = *profile;
        Add(std::unique_ptr<TAVProfile>(std::move(profile)));
        return added;
    }
    // Takes profile out of the list and hands it to the caller.
    std::unique_ptr<TAVProfile> Extract(TAVProfile& profile);
    // Takes profile out of the list and frees it.
    void Delete(TAVProfile& profile);
    // Moves profile to position (clamped to the list).
    void SetChildOrder(TAVProfile& profile, int position);
    // Frees, from the last to the first, every TAVCustomAudioProfile (video profiles included).
    void RemoveCustomProfiles();

private:
    std::string name_;
    std::vector<std::unique_ptr<TAVProfile>> items_;
};

}  // namespace tw
